#pragma once

#include <cstddef>

// Overwrites n bytes with zero through volatile stores, which the optimiser may not remove:
// for buffers that held key material and are about to be released or go out of scope.
inline void SecureZero(void* p, size_t n) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = 0;
    }
}
