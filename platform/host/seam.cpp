#include "platform/host/seam.h"

// Every object here is created on first use and never destroyed, so that the driver client's
// tear-down at exit finds them still alive.

HostClock& HostClockOverride() {
    static HostClock clock{nullptr, nullptr};
    return clock;
}

HostFaultHook& HostFaults() {
    static HostFaultHook& hook = *new HostFaultHook;
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
    static HostScriptedDevice& device = *new HostScriptedDevice;
    return device;
}

HostHeapWatch& HostHeap() {
    static HostHeapWatch& watch = *new HostHeapWatch;
    return watch;
}

HostSleepLog& HostSleeps() {
    static HostSleepLog& log = *new HostSleepLog;
    return log;
}

HostMessageBoxes& HostBoxes() {
    static HostMessageBoxes& boxes = *new HostMessageBoxes;
    return boxes;
}

std::vector<std::string>& HostClosed() {
    static std::vector<std::string>& closed = *new std::vector<std::string>;
    return closed;
}

void HostResetSeam() {
    HostBoxes() = {};
    HostClosed().clear();
    HostClockOverride() = {nullptr, nullptr};
    HostFaults() = nullptr;
    HostDeviceScript() = {};
    HostHeap().onFree = nullptr;
    HostSleeps() = {};
}
