#include "platform/win32.h"

void RaiseException(DWORD code, DWORD flags, DWORD, const ULONG_PTR*) {
    switch (code) {
        case EXCEPTION_INT_OVERFLOW:
            throw HostIntOverflowException{{code, flags}};
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            throw HostIntDivideByZeroException{{code, flags}};
        default:
            throw HostStructuredException{code, flags};
    }
}
