#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/host/host_root.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

char g_module;
char g_kernel32;

// The version the platform reports: the os-version file's four numbers, or Windows 10.
bool ReadVersion(DWORD& major, DWORD& minor, DWORD& platformId, DWORD& productType) {
    std::ifstream file(HostRoot() + "/machine/os-version");
    if (!file) {
        major = 10;
        minor = 0;
        platformId = 2;
        productType = 1;
        return true;
    }
    std::string line;
    std::getline(file, line);
    std::istringstream in(line);
    long long values[4];
    for (long long& v : values) {
        if (!(in >> v) || v < 0 || v > 0xFFFFFFFFll) {
            return false;
        }
    }
    std::string rest;
    if (in >> rest) {
        return false;
    }
    major = static_cast<DWORD>(values[0]);
    minor = static_cast<DWORD>(values[1]);
    platformId = static_cast<DWORD>(values[2]);
    productType = static_cast<DWORD>(values[3]);
    return productType <= 0xFF;
}

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (moduleName == nullptr) {
        return &g_module;
    }
    std::string name = Utf16ToUtf8(moduleName);
    for (char& c : name) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (name == "kernel32.dll" || name == "kernel32") {
        return &g_kernel32;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (HostShouldFail("GetProcAddress")) {
        return nullptr;
    }
    if (module == &g_kernel32 && procName != nullptr &&
        std::strcmp(procName, "GetNativeSystemInfo") == 0) {
        return reinterpret_cast<FARPROC>(&GetNativeSystemInfo);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

void GetNativeSystemInfo(SYSTEM_INFO* info) {
    std::memset(info, 0, sizeof *info);
#if defined(__x86_64__)
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
#elif defined(__i386__)
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
#else
    info->wProcessorArchitecture = 0xFFFF;  // PROCESSOR_ARCHITECTURE_UNKNOWN
#endif
    info->dwPageSize = 4096;
    info->dwNumberOfProcessors = 1;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (HostShouldFail("GetVersionExW")) {
        return FALSE;
    }
    if (info == nullptr || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                            info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD major = 0, minor = 0, platformId = 0, productType = 0;
    if (!ReadVersion(major, minor, platformId, productType)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = 0;
    info->dwPlatformId = platformId;
    info->szCSDVersion[0] = 0;
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW)) {
        auto* extended = reinterpret_cast<OSVERSIONINFOEXW*>(info);
        extended->wServicePackMajor = extended->wServicePackMinor = 0;
        extended->wSuiteMask = 0;
        extended->wProductType = static_cast<BYTE>(productType);
        extended->wReserved = 0;
    }
    return TRUE;
}
