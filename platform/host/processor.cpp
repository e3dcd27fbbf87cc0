#include "platform/processor.h"

#include <cpuid.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/host/host_root.h"

void CpuidLeaf1(uint32_t registers[4]) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(1, 0, a, b, c, d);
    std::ifstream file(HostRoot() + "/machine/cpuid-eax");
    std::string text;
    if (file >> text) {
        a = static_cast<unsigned int>(std::strtoul(text.c_str(), nullptr, 16));
    }
    registers[0] = a;
    registers[1] = b;
    registers[2] = c;
    registers[3] = d;
}
