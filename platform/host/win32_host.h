// Host stand-ins for the Win32 types and operations this program calls. Every departure from
// Win32 is noted where it is declared.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;  // Win32's DWORD is 32 bits; the host's unsigned long is not.
using LONG = int32_t;
using LONGLONG = int64_t;
using ULONG_PTR = uintptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Clock. The counter is a monotonic count of nanoseconds.
void GetSystemTime(SYSTEMTIME* pTime);
BOOL QueryPerformanceCounter(LARGE_INTEGER* pCount);

// Structured exceptions. The host has none: RaiseException throws a C++ exception instead,
// one type per code below, so a raised exception can never be continued.
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_NONCONTINUABLE = 0x1;

struct HostStructuredException {
    DWORD code;
    DWORD flags;
};
struct HostIntOverflowException : HostStructuredException {};
struct HostIntDivideByZeroException : HostStructuredException {};

[[noreturn]] void RaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                                 const ULONG_PTR* pArguments);
