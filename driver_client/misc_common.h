// The client of the Quenwick driver: finding and opening it, its version gate, the protected
// session, the message capsule that carries every misc-function request, and the misc
// functions. One client per process: every member is class-wide, and nothing takes an object.
// Not thread-safe.
//
// Failures write one line into _szErrorMessage ("MiscCommon::CMiscCommon::Op: text."); nothing
// shows it to the user. After a failed platform call, an operation restores that call's
// last-error value before it returns.
#pragma once

#include <cstdint>

#include "driver_client/wire_records.h"
#include "platform/win32.h"

struct BlowfishContext;

namespace MiscCommon {

using MiscStatus = uint32_t;
constexpr MiscStatus MISC_SUCCESS = 0;
constexpr MiscStatus MISC_PLATFORM_FAILURE = 2;  // a platform call failed or an answer was unusable
constexpr MiscStatus MISC_MISSING_ARGUMENT = 3;
constexpr MiscStatus MISC_NO_MEMORY = 5;    // or the caller's buffer is too small
constexpr MiscStatus MISC_NOT_FOUND = 6;    // no interface; in the handshake, a proof mismatch
constexpr MiscStatus MISC_NO_DEVICE = 8;    // for _Encrypt and _Decrypt: no cipher context
constexpr MiscStatus MISC_OLD_DRIVER = 10;  // older than 1.0.8, or the version not yet read
constexpr MiscStatus MISC_OPEN_FAILED = 11;

constexpr uint32_t kTextCharacters = 256;  // _szVersion and _szErrorMessage, null included

class CMiscCommon {
public:
    // Finds interface 0 of the driver's class, reads and parses "DriverVersion" (once per
    // process), and opens the device: 0, 2, 5, 6 or 11.
    static MiscStatus OpenDriver();
    // Ends an established session, wipes and frees its cipher, and closes the device.
    static void CloseDriver();
    // The recorded driver version is at least 1.0.8. Every gated operation tests it first.
    static bool DriverVersionGate();
    // Reads "%d.%d.%d.%d" from _szVersion into the version numbers; a number the text does not
    // supply leaves its field as it was.
    static void _ParseDriverVersion();

    // Opens the session, or plain mode for a driver without sessions: 0, 2, 5, 6 or 10.
    static MiscStatus _Initialize();

    // Like DeviceIoControl: sends pIn in a capsule and copies the reply's payload to pOut.
    // pIn and pOut may be one buffer. ERROR_MORE_DATA: pOut holds the first sizeOut bytes.
    static BOOL EncapsuledDeviceIoControl(const uint8_t* pIn, uint32_t sizeIn, uint8_t* pOut,
                                          uint32_t sizeOut, uint32_t* pReturned);
    // A zero-filled capsule for sizePayload bytes from the process heap, payload copied in when
    // given; the caller frees it with HeapFree. Null when out of memory.
    static MessageCapsule* _InitializeMessageCapsule(uint32_t sizePayload, const uint8_t* payload);
    // En- or decipher a capsule's blocks in place, as many as its own sizeCapsule gives.
    static MiscStatus _Encrypt(MessageCapsule* capsule);
    static MiscStatus _Decrypt(MessageCapsule* capsule);

    // Sends a misc packet; the answer overwrites it. Repeats once on status 4.
    static MiscStatus CallMiscFunction(uint8_t* pPacket, uint32_t sizePacket);
    // On 0, *pStatus is the answer's status and, when that is 0, *pValue is register B.
    static MiscStatus ReadRtcRegisterB(uint8_t* pStatus, uint8_t* pValue);
    static MiscStatus WriteRtcRegisterB(uint8_t* pStatus, uint8_t value);
    // Copies the model number (no terminator) into pBuffer; *pSize goes in as the capacity and
    // comes back as the length. 5 with the needed length when the buffer is too small.
    static MiscStatus GetModelNumber(uint8_t* pBuffer, uint32_t* pSize);

    // Set-up runs before the entry point; it registers the tear-down to run at process exit.
    static void _SetUp();
    static void _TearDown();

    static HANDLE _hDevice;
    static WCHAR* _szVersion;
    static uint32_t _versionMajor;
    static uint32_t _versionMinor;
    static uint32_t _versionBuild;
    static uint32_t _versionRevision;
    static uint32_t _sessionId;
    static uint32_t _sequence;
    static BlowfishContext* _pBlowfish;
    static BOOL _bEncrypt;
    static WCHAR* _szErrorMessage;

    // Writes the failure text, "%d" replaced by value; skipped while _szErrorMessage is null.
    static void _SetErrorMessage(const WCHAR* text, int32_t value = 0);
    static void _ClearErrorMessage();
};

}  // namespace MiscCommon
