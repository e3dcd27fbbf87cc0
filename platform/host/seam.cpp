#include "platform/host/seam.h"

HostClock& HostClockOverride() {
    static HostClock clock{nullptr, nullptr};
    return clock;
}

HostFaultHook& HostFaults() {
    static HostFaultHook hook;
    return hook;
}

bool HostShouldFail(const char* operation) {
    DWORD error = ERROR_GEN_FAILURE;
    if (HostFaults() && HostFaults()(operation, &error)) {
        SetLastError(error);
        return true;
    }
    return false;
}

HostScriptedDevice& HostDeviceScript() {
    static HostScriptedDevice device;
    return device;
}

HostHeapWatch& HostHeap() {
    static HostHeapWatch watch;
    return watch;
}

HostSleepLog& HostSleeps() {
    static HostSleepLog log;
    return log;
}

void HostResetSeam() {
    HostClockOverride() = {nullptr, nullptr};
    HostFaults() = nullptr;
    HostDeviceScript() = {};
    HostHeap().onFree = nullptr;
    HostSleeps() = {};
}
