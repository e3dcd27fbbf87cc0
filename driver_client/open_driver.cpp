#include <new>

#include "driver_client/device_class.h"
#include "driver_client/misc_common.h"

namespace MiscCommon {

namespace {

// The version text is read offering half of its buffer, so a zero-filled buffer always ends
// in a null even when the value comes back without one.
constexpr DWORD kVersionBytesOffered = kTextCharacters;

// Reads one "%d" of the version text: optional blanks and '+', then decimal digits. A '-' ends
// the scan, as no version number is negative; a number past 32 bits saturates.
bool ScanNumber(const WCHAR*& p, uint32_t& out) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') {
        ++p;
    }
    if (*p == '+') {
        ++p;
    }
    if (*p < '0' || *p > '9') {
        return false;
    }
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFu) {
            value = 0xFFFFFFFFu + uint64_t{1};  // stays saturated whatever follows
        }
    }
    out = value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
    return true;
}

}  // namespace

bool CMiscCommon::DriverVersionGate() {
    return _versionMajor > 1 || (_versionMajor == 1 && _versionMinor != 0) ||
           (_versionMajor == 1 && _versionMinor == 0 && _versionBuild >= 8);
}

void CMiscCommon::_ParseDriverVersion() {
    if (_szVersion == nullptr) {
        return;
    }
    uint32_t* const fields[4] = {&_versionMajor, &_versionMinor, &_versionBuild, &_versionRevision};
    const WCHAR* p = _szVersion;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != '.') {
                return;
            }
            ++p;
        }
        if (!ScanNumber(p, *fields[i])) {
            return;
        }
    }
}

MiscStatus CMiscCommon::OpenDriver() {
    HDEVINFO set = SetupDiGetClassDevsW(&kQuenwickInterfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::OpenDriver: SetupDiGetClassDevs failed."));
        return MISC_PLATFORM_FAILURE;
    }

    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kQuenwickInterfaceClass, 0, &interfaceData)) {
        const DWORD error = GetLastError();
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::OpenDriver: SetupDiEnumDeviceInterfaces failed."));
        SetupDiDestroyDeviceInfoList(set);
        SetLastError(error);
        return MISC_NOT_FOUND;
    }

    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &needed, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        const DWORD error = GetLastError();
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::OpenDriver: "
                 "SetupDiGetDeviceInterfaceDetail (First time) failed."));
        SetupDiDestroyDeviceInfoList(set);
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }

    // Never smaller than the record's fixed part, whose size field is written below.
    const DWORD detailBytes = needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                  ? sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                                  : needed;
    auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(
        HeapAlloc(GetProcessHeap(), 0, detailBytes));
    if (detail == nullptr) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::OpenDriver: HeapAlloc failed."));
        SetupDiDestroyDeviceInfoList(set);
        SetLastError(error);
        return MISC_NO_MEMORY;
    }

    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA deviceInfo = {};
    deviceInfo.cbSize = sizeof deviceInfo;
    if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, detailBytes, &needed,
                                          &deviceInfo)) {
        const DWORD error = GetLastError();
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::OpenDriver: "
                 "SetupDiGetDeviceInterfaceDetail (Second time) failed."));
        SetupDiDestroyDeviceInfoList(set);
        HeapFree(GetProcessHeap(), 0, detail);
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }
    // The path must end inside the block, whatever the platform wrote.
    reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(detail) + detailBytes)[-1] = 0;

    if (_szVersion == nullptr) {
        HKEY key = SetupDiOpenDevRegKey(set, &deviceInfo, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            _SetErrorMessage(
                WSTR("MiscCommon::CMiscCommon::OpenDriver: SetupDiOpenDevRegKey failed."));
            SetupDiDestroyDeviceInfoList(set);
            HeapFree(GetProcessHeap(), 0, detail);
            SetLastError(error);
            return MISC_PLATFORM_FAILURE;
        }
        _szVersion = new (std::nothrow) WCHAR[kTextCharacters]();
        if (_szVersion == nullptr) {
            _SetErrorMessage(
                WSTR("MiscCommon::CMiscCommon::OpenDriver: _szVersion array initialize failed."));
            SetupDiDestroyDeviceInfoList(set);
            HeapFree(GetProcessHeap(), 0, detail);
            RegCloseKey(key);
            return MISC_PLATFORM_FAILURE;
        }
        DWORD type = 0;
        DWORD size = kVersionBytesOffered;
        if (RegQueryValueExW(key, WSTR("DriverVersion"), nullptr, &type,
                             reinterpret_cast<BYTE*>(_szVersion), &size) != ERROR_SUCCESS) {
            const DWORD error = GetLastError();
            _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::OpenDriver: RegQueryValueEx failed."));
            SetupDiDestroyDeviceInfoList(set);
            HeapFree(GetProcessHeap(), 0, detail);
            RegCloseKey(key);
            delete[] _szVersion;
            _szVersion = nullptr;
            SetLastError(error);
            return MISC_PLATFORM_FAILURE;
        }
        _ParseDriverVersion();
        RegCloseKey(key);
    }

    SetupDiDestroyDeviceInfoList(set);

    _hDevice = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (_hDevice == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::OpenDriver: CreateFile failed."));
        HeapFree(GetProcessHeap(), 0, detail);
        SetLastError(error);
        return MISC_OPEN_FAILED;
    }
    HeapFree(GetProcessHeap(), 0, detail);
    _ClearErrorMessage();
    return MISC_SUCCESS;
}

}  // namespace MiscCommon
