// The host platform's handle table: every HANDLE, HDEVINFO and HKEY it gives out.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

struct HostDeviceInfoSet {
    std::string classDirectory;
    std::vector<std::string> instances;  // in byte order of their names
};

struct HostRegistryKey {
    std::string instanceDirectory;
};

struct HostDevice {
    int socket = -1;      // -1 for a scripted device
    bool broken = false;  // a framing fault: every later request fails
};

struct HostMutex {
    int lockFile = -1;  // holds a shared lock while the handle is open
    std::string name;
};

struct HostObject {
    enum class Kind { kDeviceInfoSet, kRegistryKey, kDevice, kMutex } kind;
    HostDeviceInfoSet set;
    HostRegistryKey key;
    HostDevice device;
    HostMutex mutex;
};

HANDLE HostAddHandle(HostObject object);
// The object behind a handle of the given kind, or null.
HostObject* HostFindHandle(HANDLE handle, HostObject::Kind kind);
void HostRemoveHandle(HANDLE handle);
