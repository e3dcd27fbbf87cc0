#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/host/handles.h"
#include "platform/host/host_root.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, BYTE* data,
                         LPDWORD dataSize) {
    DWORD error = ERROR_GEN_FAILURE;
    if (HostFaults() && HostFaults()("RegQueryValueExW", &error)) {
        return static_cast<LSTATUS>(error);
    }
    HostObject* object = HostFindHandle(key, HostObject::Kind::kRegistryKey);
    if (object == nullptr) {
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    }
    if (valueName == nullptr || std::u16string(valueName) != u"DriverVersion") {
        return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    }
    std::ifstream file(object->key.instanceDirectory + "/DriverVersion", std::ios::binary);
    if (!file) {
        return static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND);
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    const std::u16string value = Utf8ToUtf16(text);
    const DWORD needed = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    if (type != nullptr) {
        *type = REG_SZ;
    }
    if (dataSize == nullptr) {
        return static_cast<LSTATUS>(data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
    }
    const DWORD offered = *dataSize;
    *dataSize = needed;
    if (data == nullptr) {
        return static_cast<LSTATUS>(ERROR_SUCCESS);
    }
    if (needed > offered) {
        return static_cast<LSTATUS>(ERROR_MORE_DATA);
    }
    std::memcpy(data, value.c_str(), needed);
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key) {
    if (HostFindHandle(key, HostObject::Kind::kRegistryKey) == nullptr) {
        return static_cast<LSTATUS>(ERROR_INVALID_HANDLE);
    }
    HostRemoveHandle(key);
    return static_cast<LSTATUS>(ERROR_SUCCESS);
}
