// The allocation operators on the process heap. The runtime's own wrap allocation in
// exception handling (a failed plain new throws), which would bring the C++ unwinder into the
// product; the product only ever asks for the nothrow form, and these need no unwinder.
#include <new>

#include "platform/win32.h"

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

// Without exceptions a failed plain new cannot throw: it returns null like the nothrow form.
void* operator new(std::size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void* operator new[](std::size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void operator delete(void* p) noexcept {
    if (p != nullptr) {
        HeapFree(GetProcessHeap(), 0, p);
    }
}

void operator delete[](void* p) noexcept {
    if (p != nullptr) {
        HeapFree(GetProcessHeap(), 0, p);
    }
}

void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    operator delete[](p);
}
