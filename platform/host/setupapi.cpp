#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/host/handles.h"
#include "platform/host/host_root.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

std::string GuidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

HostDeviceInfoSet* FindSet(HDEVINFO set) {
    HostObject* object = HostFindHandle(set, HostObject::Kind::kDeviceInfoSet);
    return object != nullptr ? &object->set : nullptr;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR, HWND, DWORD flags) {
    if (HostShouldFail("SetupDiGetClassDevsW")) {
        return INVALID_HANDLE_VALUE;
    }
    if (classGuid == nullptr || !(flags & DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    HostObject object{HostObject::Kind::kDeviceInfoSet, {}, {}, {}, {}};
    object.set.classDirectory = HostRoot() + "/devices/" + GuidText(*classGuid);
    if (DIR* dir = opendir(object.set.classDirectory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." &&
                IsDirectory(object.set.classDirectory + "/" + name)) {
                object.set.instances.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(object.set.instances.begin(), object.set.instances.end());
    return HostAddHandle(std::move(object));
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* interfaceClassGuid,
                                 DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA interfaceData) {
    if (HostShouldFail("SetupDiEnumDeviceInterfaces")) {
        return FALSE;
    }
    HostDeviceInfoSet* s = FindSet(set);
    if (s == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (interfaceData == nullptr || interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (memberIndex >= s->instances.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    interfaceData->InterfaceClassGuid = *interfaceClassGuid;
    interfaceData->Flags = 1;  // SPINT_ACTIVE
    interfaceData->Reserved = memberIndex;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                      LPDWORD requiredSize, PSP_DEVINFO_DATA deviceInfo) {
    if (HostShouldFail("SetupDiGetDeviceInterfaceDetailW")) {
        return FALSE;
    }
    HostDeviceInfoSet* s = FindSet(set);
    if (s == nullptr || interfaceData == nullptr ||
        interfaceData->Reserved >= s->instances.size()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::u16string path =
        Utf8ToUtf16(s->classDirectory + "/" + s->instances[interfaceData->Reserved] + "/device");
    const DWORD needed =
        static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                           (path.size() + 1) * sizeof(WCHAR));
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (detail == nullptr || detailSize < needed) {
        SetLastError(detail == nullptr && detailSize != 0 ? ERROR_INVALID_USER_BUFFER
                                                          : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) ||
        (deviceInfo != nullptr && deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    if (deviceInfo != nullptr) {
        deviceInfo->ClassGuid = interfaceData->InterfaceClassGuid;
        deviceInfo->DevInst = static_cast<DWORD>(interfaceData->Reserved);
        deviceInfo->Reserved = interfaceData->Reserved;
    }
    return TRUE;
}

HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, DWORD, DWORD, DWORD keyType,
                          REGSAM) {
    if (HostShouldFail("SetupDiOpenDevRegKey")) {
        return INVALID_HANDLE_VALUE;
    }
    HostDeviceInfoSet* s = FindSet(set);
    if (s == nullptr || deviceInfo == nullptr || deviceInfo->Reserved >= s->instances.size() ||
        keyType != DIREG_DRV) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string instance = s->classDirectory + "/" + s->instances[deviceInfo->Reserved];
    if (!IsDirectory(instance)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HostObject object{HostObject::Kind::kRegistryKey, {}, {instance}, {}, {}};
    return HostAddHandle(std::move(object));
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (FindSet(set) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    HostRemoveHandle(set);
    return TRUE;
}
