#pragma once

#include <cstdint>

#include "platform/win32.h"

// What the version queries told.
struct WindowsVersionFacts {
    bool basicQuery;   // the first GetVersionExW succeeded
    DWORD platformId;  // of the first query
    DWORD major;
    DWORD minor;
    bool extendedQuery;  // the second, extended query succeeded (NT 5 and later only)
    DWORD extendedMajor;
    DWORD extendedMinor;
    BYTE productType;  // of the extended query
    WORD nativeArchitecture;
};

// The version code: 0 unknown, 1 Win32s, 2 Windows 95, 3 98, 4 NT 4 and earlier, 5 2000,
// 6 XP (and XP x64), 7 Me, 8 Vista, 9 Server 2008, 10 Server 2003, 11 Windows 7,
// 12 Server 2008 R2, 13 Windows 8, 14 Server 2012, 15 Windows 8.1, 16 Server 2012 R2, and
// 0xFFFF for major version 7 or later. Every code from 11 up is Windows 7 or later.
uint16_t ClassifyWindowsVersion(const WindowsVersionFacts& facts);

// Queries the platform once, at construction, and classifies it.
class CWinVersion {
public:
    CWinVersion();
    virtual ~CWinVersion() = default;

    SYSTEM_INFO _systemInfo;
    OSVERSIONINFOEXW _osVersionInfo;
    uint16_t _versionCode;
};
