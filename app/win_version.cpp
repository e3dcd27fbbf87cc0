#include "app/win_version.h"

#include <cstring>

namespace {

constexpr uint16_t kUnknown = 0;
constexpr uint16_t kLaterThanWindows8Point1 = 0xFFFF;

uint16_t ClassifyNt6(DWORD minor, bool workstation) {
    if (minor >= 3) {
        return workstation ? 15 : 16;
    }
    if (minor == 2) {
        return workstation ? 13 : 14;
    }
    if (minor == 1) {
        return workstation ? 11 : 12;
    }
    return workstation ? 8 : 9;
}

}  // namespace

uint16_t ClassifyWindowsVersion(const WindowsVersionFacts& f) {
    if (!f.basicQuery) {
        return kUnknown;
    }
    switch (f.platformId) {
        case 0:
            return 1;
        case 1:
            return f.minor >= 90 ? 7 : f.minor >= 10 ? 3 : 2;
        case 2:
            break;
        default:
            return kUnknown;
    }
    if (f.major < 5) {
        return 4;
    }
    if (!f.extendedQuery) {
        return kUnknown;
    }
    const bool workstation = f.productType == VER_NT_WORKSTATION;
    if (f.extendedMajor > 6) {
        return kLaterThanWindows8Point1;
    }
    if (f.extendedMajor == 6) {
        return ClassifyNt6(f.extendedMinor, workstation);
    }
    if (f.extendedMajor == 5) {
        if (f.extendedMinor >= 2) {
            return workstation && f.nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? 6 : 10;
        }
        return f.extendedMinor == 1 ? 6 : 5;
    }
    return 4;
}

CWinVersion::CWinVersion() : _versionCode(0) {
    std::memset(&_systemInfo, 0, sizeof _systemInfo);
    std::memset(&_osVersionInfo, 0, sizeof _osVersionInfo);
    _osVersionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);

    // Looked up at run time: not present before Windows XP.
    using GetNativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);
    if (HMODULE kernel32 = GetModuleHandleW(WSTR("kernel32.dll"))) {
        if (auto getNativeSystemInfo = reinterpret_cast<GetNativeSystemInfoFunction>(
                reinterpret_cast<void*>(GetProcAddress(kernel32, "GetNativeSystemInfo")))) {
            getNativeSystemInfo(&_systemInfo);
        }
    }

    WindowsVersionFacts facts = {};
    facts.nativeArchitecture = _systemInfo.wProcessorArchitecture;
    facts.basicQuery = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&_osVersionInfo)) != FALSE;
    facts.platformId = _osVersionInfo.dwPlatformId;
    facts.major = _osVersionInfo.dwMajorVersion;
    facts.minor = _osVersionInfo.dwMinorVersion;
    if (facts.basicQuery && facts.platformId == 2 && facts.major >= 5) {
        std::memset(&_osVersionInfo, 0, sizeof _osVersionInfo);
        _osVersionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
        facts.extendedQuery =
            GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&_osVersionInfo)) != FALSE;
        facts.extendedMajor = _osVersionInfo.dwMajorVersion;
        facts.extendedMinor = _osVersionInfo.dwMinorVersion;
        facts.productType = _osVersionInfo.wProductType;
    }
    _versionCode = ClassifyWindowsVersion(facts);
}
