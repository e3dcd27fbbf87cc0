/* Installs the Quenwick bridge driver in a Wine prefix, and sets the device's DriverVersion.
 *
 *   quenwick-install install <inf path>      the root device and its driver (once per prefix)
 *   quenwick-install set-version [<text>]    the driver key's "DriverVersion"; none removes it
 *
 * Exits 0 on success; otherwise prints the failing call and its last error. */
#include <windows.h>

/* After windows.h, which they need. */
#include <newdev.h>
#include <setupapi.h>
#include <stdio.h>

static const GUID kInterfaceClass = {
    0x4F7C2B9E, 0x1D3A, 0x4E86, {0x9B, 0x5F, 0xA2, 0xC8, 0xE0, 0xD4, 0x76, 0x13}};
static const GUID kNoClass = {0};
static const WCHAR kHardwareId[] = L"root\\quenwick\0";

static int Fail(const char* what) {
    fprintf(stderr, "quenwick-install: %s failed, error %lu\n", what, GetLastError());
    return 1;
}

static int Install(const WCHAR* inf) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kNoClass, NULL);
    if (set == INVALID_HANDLE_VALUE) {
        return Fail("SetupDiCreateDeviceInfoList");
    }
    SP_DEVINFO_DATA device;
    ZeroMemory(&device, sizeof device);
    device.cbSize = sizeof device;
    if (SetupDiCreateDeviceInfoW(set, L"root\\quenwick\\0000", &kNoClass, NULL, NULL, 0, &device)) {
        if (!SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID,
                                               (const BYTE*)kHardwareId, sizeof kHardwareId)) {
            return Fail("SetupDiSetDeviceRegistryPropertyW");
        }
        if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
            return Fail("SetupDiCallClassInstaller");
        }
    } else if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
        return Fail("SetupDiCreateDeviceInfoW");
    }
    SetupDiDestroyDeviceInfoList(set);
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(NULL, L"root\\quenwick", inf, INSTALLFLAG_FORCE,
                                            &reboot)) {
        return Fail("UpdateDriverForPlugAndPlayDevicesW");
    }
    return 0;
}

static int SetVersion(const WCHAR* text) {
    HDEVINFO set =
        SetupDiGetClassDevsW(&kInterfaceClass, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return Fail("SetupDiGetClassDevsW");
    }
    SP_DEVINFO_DATA device;
    ZeroMemory(&device, sizeof device);
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(set, 0, &device)) {
        return Fail("SetupDiEnumDeviceInfo");
    }
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_SET_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return Fail("SetupDiOpenDevRegKey");
    }
    LONG status;
    if (text == NULL) {
        status = RegDeleteValueW(key, L"DriverVersion");
        if (status == ERROR_FILE_NOT_FOUND) {
            status = ERROR_SUCCESS;
        }
    } else {
        status = RegSetValueExW(key, L"DriverVersion", 0, REG_SZ, (const BYTE*)text,
                                (DWORD)((wcslen(text) + 1) * sizeof(WCHAR)));
    }
    RegCloseKey(key);
    SetupDiDestroyDeviceInfoList(set);
    if (status != ERROR_SUCCESS) {
        SetLastError((DWORD)status);
        return Fail("writing DriverVersion");
    }
    return 0;
}

int wmain(int argc, WCHAR** argv) {
    if (argc == 3 && wcscmp(argv[1], L"install") == 0) {
        return Install(argv[2]);
    }
    if ((argc == 2 || argc == 3) && wcscmp(argv[1], L"set-version") == 0) {
        return SetVersion(argc == 3 ? argv[2] : NULL);
    }
    fprintf(stderr, "usage: quenwick-install install <inf> | set-version [<text>]\n");
    return 2;
}
