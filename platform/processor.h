#pragma once

#include <cstdint>

// EAX, EBX, ECX and EDX of CPUID leaf 1 on the processor running the caller. On the host
// platform, <root>/machine/cpuid-eax replaces EAX when it exists.
void CpuidLeaf1(uint32_t registers[4]);
