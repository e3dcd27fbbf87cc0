#include "platform/processor.h"

#include <cpuid.h>

void CpuidLeaf1(uint32_t registers[4]) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(1, 0, a, b, c, d);
    registers[0] = a;
    registers[1] = b;
    registers[2] = c;
    registers[3] = d;
}
