#include <cstdlib>
#include <new>

#include "crypto/blowfish.h"
#include "crypto/secure_zero.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"

namespace MiscCommon {

HANDLE CMiscCommon::_hDevice = INVALID_HANDLE_VALUE;
WCHAR* CMiscCommon::_szVersion = nullptr;
uint32_t CMiscCommon::_versionMajor = 0;
uint32_t CMiscCommon::_versionMinor = 0;
uint32_t CMiscCommon::_versionBuild = 0;
uint32_t CMiscCommon::_versionRevision = 0;
uint32_t CMiscCommon::_sessionId = 0;
uint32_t CMiscCommon::_sequence = 0;
BlowfishContext* CMiscCommon::_pBlowfish = nullptr;
BOOL CMiscCommon::_bEncrypt = TRUE;
WCHAR* CMiscCommon::_szErrorMessage = nullptr;

namespace {

// Runs the set-up before the entry point; the static members above are initialised first,
// being defined earlier in this file.
struct SetUpBeforeEntry {
    SetUpBeforeEntry() { CMiscCommon::_SetUp(); }
} g_setUp;

void TearDownAtExit() {
    CMiscCommon::_TearDown();
}

}  // namespace

void CMiscCommon::_SetUp() {
    _szErrorMessage = new (std::nothrow) WCHAR[kTextCharacters];
    if (_szErrorMessage != nullptr) {
        _szErrorMessage[0] = 0;
    }
    _szVersion = nullptr;
    _versionMajor = _versionMinor = _versionBuild = _versionRevision = 0;
    _sessionId = 0;
    _sequence = 0;
    _pBlowfish = nullptr;
    _bEncrypt = TRUE;
    std::atexit(TearDownAtExit);
}

void CMiscCommon::_TearDown() {
    CloseDriver();
    delete[] _szErrorMessage;
    _szErrorMessage = nullptr;
    delete[] _szVersion;
    _szVersion = nullptr;
}

void CMiscCommon::CloseDriver() {
    if (_hDevice == INVALID_HANDLE_VALUE) {
        return;
    }
    if (_pBlowfish != nullptr) {
        uint32_t sessionId = _sessionId;
        DWORD returned = 0;
        DeviceIoControl(_hDevice, IOCTL_MISC_CLOSE_SESSION, &sessionId, sizeof sessionId, nullptr,
                        0, &returned, nullptr);
        _sessionId = 0;
        _sequence = 0;
        SecureZero(_pBlowfish, sizeof(BlowfishContext));
        HeapFree(GetProcessHeap(), 0, _pBlowfish);
        _pBlowfish = nullptr;
    }
    CloseHandle(_hDevice);
    _hDevice = INVALID_HANDLE_VALUE;
}

void CMiscCommon::_SetErrorMessage(const WCHAR* text, int32_t value) {
    if (_szErrorMessage == nullptr) {
        return;
    }
    uint32_t n = 0;
    const auto put = [&n](WCHAR c) {
        if (n + 1 < kTextCharacters) {
            _szErrorMessage[n++] = c;
        }
    };
    for (const WCHAR* p = text; *p != 0; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            WCHAR digits[12];
            int count = 0;
            // Widened first, so that the most negative value negates without overflow.
            int64_t v = value;
            if (v < 0) {
                put('-');
                v = -v;
            }
            do {
                digits[count++] = static_cast<WCHAR>('0' + v % 10);
                v /= 10;
            } while (v != 0);
            while (count > 0) {
                put(digits[--count]);
            }
            ++p;
        } else {
            put(*p);
        }
    }
    _szErrorMessage[n] = 0;
}

void CMiscCommon::_ClearErrorMessage() {
    if (_szErrorMessage != nullptr) {
        _szErrorMessage[0] = 0;
    }
}

}  // namespace MiscCommon
