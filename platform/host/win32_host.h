// Host stand-ins for the Win32 types and operations this program calls. Each gives the results
// this program relies on; every departure from Win32 is noted where it is declared.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;  // Win32's DWORD is 32 bits; the host's unsigned long is not.
using LONG = int32_t;
using LONGLONG = int64_t;
using ULONG_PTR = uintptr_t;
using SIZE_T = size_t;
using UINT = unsigned int;
using WCHAR = char16_t;  // UTF-16 as on Windows; the host's wchar_t is 32 bits wide.
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using HANDLE = void*;
using HDEVINFO = void*;
using HKEY = void*;
using HWND = void*;
using HINSTANCE = void*;
using HMODULE = void*;
using LSTATUS = LONG;
using REGSAM = DWORD;

// Wide text literals: L"" on Windows, u"" here.
#define WSTR(s) u##s

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

// Error codes.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_INTERNAL_ERROR = 1359;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

DWORD GetLastError();
void SetLastError(DWORD code);

// Clock. The counter is a monotonic count of nanoseconds.
void GetSystemTime(SYSTEMTIME* pTime);
BOOL QueryPerformanceCounter(LARGE_INTEGER* pCount);
void Sleep(DWORD milliseconds);

// Structured exceptions. The host has none: RaiseException throws a C++ exception instead,
// one type per code below, so a raised exception can never be continued.
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_NONCONTINUABLE = 0x1;

struct HostStructuredException {
    DWORD code;
    DWORD flags;
};
struct HostIntOverflowException : HostStructuredException {};
struct HostIntDivideByZeroException : HostStructuredException {};

[[noreturn]] void RaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                                 const ULONG_PTR* pArguments);

// The process heap. A failed allocation leaves ERROR_NOT_ENOUGH_MEMORY as the last error.
constexpr DWORD HEAP_ZERO_MEMORY = 0x8;
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID p);

// Handles of devices (and, later, mutexes).
BOOL CloseHandle(HANDLE handle);

// SetupAPI over the host root's device directory. The records are packed as in a 32-bit
// build; the sizes of SP_DEVICE_INTERFACE_DATA and SP_DEVINFO_DATA still differ from 32-bit
// Windows because ULONG_PTR is 64 bits here.
constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr DWORD DICS_FLAG_GLOBAL = 0x1;
constexpr DWORD DIREG_DRV = 0x2;
constexpr REGSAM KEY_READ = 0x20019;
constexpr DWORD REG_SZ = 1;

#pragma pack(push, 1)
struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    WCHAR DevicePath[1];
};
struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
#pragma pack(pop)
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;
using PSP_DEVICE_INTERFACE_DETAIL_DATA_W = SP_DEVICE_INTERFACE_DETAIL_DATA_W*;
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, LPCWSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo,
                                 const GUID* interfaceClassGuid, DWORD memberIndex,
                                 PSP_DEVICE_INTERFACE_DATA interfaceData);
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD detailSize,
                                      LPDWORD requiredSize, PSP_DEVINFO_DATA deviceInfo);
// Fails with INVALID_HANDLE_VALUE, as Win32 does, once the instance has gone.
HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, DWORD scope, DWORD hwProfile,
                          DWORD keyType, REGSAM samDesired);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// Reads only "DriverVersion" of a device's driver key, as a REG_SZ.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, BYTE* data,
                         LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);

// Devices: opening connects to the device socket, and each request is one frame each way.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// Sets the last error on success too: to 0, the frame's value.
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     OVERLAPPED* overlapped);

// Named mutexes, in a per-session and a machine-wide namespace under the host root. A mutex
// exists while a live process holds a handle to it; creating one that exists opens it and
// leaves ERROR_ALREADY_EXISTS, and creating a new one leaves 0.
HANDLE CreateMutexW(SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, LPCWSTR name);

// Modules. The host program is one module; "kernel32.dll" is loaded in every process.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
using FARPROC = void (*)();
FARPROC GetProcAddress(HMODULE module, const char* procName);

// Strings of the module's string tables, in the user's language (LC_ALL, LC_MESSAGES, LANG).
// The tables are the program's own: see HostModuleStrings.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);

// Message boxes, shown on the terminal. On a terminal a key answers; otherwise one line of
// standard input per box ("y" or "yes" answers Yes; anything else, or the end, answers No).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// The version query, from <root>/machine/os-version ("major minor platformId productType");
// 10 0 2 1 when the file is missing, a failure when it does not parse.
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOW) == 276 && sizeof(OSVERSIONINFOEXW) == 284);
constexpr BYTE VER_NT_WORKSTATION = 1;
BOOL GetVersionExW(OSVERSIONINFOW* info);

// The native processor architecture is the host's own.
constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    ULONG_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
void GetNativeSystemInfo(SYSTEM_INFO* info);

// The entry point the host platform's main calls, as Windows calls it.
#define WINAPI
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
