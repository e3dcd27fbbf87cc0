// The host platform's test seam: tests replace what the platform would answer.
#pragma once

#include "platform/win32.h"

// When a pointer is set, GetSystemTime or QueryPerformanceCounter answers with its value.
struct HostClock {
    const SYSTEMTIME* time;
    const LARGE_INTEGER* counter;
};
HostClock& HostClockOverride();
