#include <time.h>

#include "platform/host/seam.h"
#include "platform/win32.h"

void GetSystemTime(SYSTEMTIME* pTime) {
    if (HostClockOverride().time != nullptr) {
        *pTime = *HostClockOverride().time;
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    pTime->wYear = static_cast<WORD>(utc.tm_year + 1900);
    pTime->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    pTime->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    pTime->wDay = static_cast<WORD>(utc.tm_mday);
    pTime->wHour = static_cast<WORD>(utc.tm_hour);
    pTime->wMinute = static_cast<WORD>(utc.tm_min);
    pTime->wSecond = static_cast<WORD>(utc.tm_sec);
    pTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* pCount) {
    if (HostClockOverride().counter != nullptr) {
        *pCount = *HostClockOverride().counter;
        return TRUE;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    pCount->QuadPart = static_cast<LONGLONG>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return TRUE;
}
