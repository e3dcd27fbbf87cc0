#include <cstring>

#include "crypto/blowfish.h"
#include "crypto/secure_zero.h"
#include "crypto/sha1.h"
#include "driver_client/group_prime.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "driver_client/pre_shared_key.h"
#include "driver_client/primitives.h"

namespace MiscCommon {

namespace {

constexpr uint32_t kExponentWords = 4;  // 96 random bits and a zero word
constexpr uint32_t kScratchBytes = 264;
constexpr uint32_t kHmacBytes = 20;
constexpr uint32_t kSessionKeyBytes = 16;
constexpr uint32_t kMaxRandomTests = 16;

// Everything the handshake computes lives here: zeroed on entry, wiped on every return.
struct Handshake {
    uint8_t keyBlock[kKeyBlockBytes];
    uint32_t x[kExponentWords];
    Ini1Request ini1;
    Ini1Reply reply1;
    uint8_t K1[kHmacBytes];
    Ini2Request ini2;
    uint8_t driverProof[kHmacBytes];
    uint8_t expectedProof[kHmacBytes];
    uint32_t K[kBigNumberWords];
    uint8_t digest[kHmacBytes];
    uint8_t KEK[kSessionKeyBytes];
    uint32_t sessionKey[kSessionKeyBytes / 4];
    Ini3Request ini3;
    uint32_t confirmation[2];
    Sha1Context sha;
};

class WipeOnReturn {
public:
    WipeOnReturn(void* p, size_t n) : p_(p), n_(n) {}
    ~WipeOnReturn() { SecureZero(p_, n_); }
    WipeOnReturn(const WipeOnReturn&) = delete;
    WipeOnReturn& operator=(const WipeOnReturn&) = delete;

private:
    void* p_;
    size_t n_;
};

BOOL SessionRequest(const void* pIn, DWORD sizeIn, void* pOut, DWORD sizeOut, DWORD* pReturned) {
    return DeviceIoControl(CMiscCommon::_hDevice, IOCTL_MISC_SESSION, const_cast<void*>(pIn),
                           sizeIn, pOut, sizeOut, pReturned, nullptr);
}

void EndSession(uint32_t sessionId) {
    DWORD returned = 0;
    DeviceIoControl(CMiscCommon::_hDevice, IOCTL_MISC_CLOSE_SESSION, &sessionId, sizeof sessionId,
                    nullptr, 0, &returned, nullptr);
}

void WipeAndFree(BlowfishContext* context) {
    SecureZero(context, sizeof *context);
    HeapFree(GetProcessHeap(), 0, context);
}

}  // namespace

MiscStatus CMiscCommon::_Initialize() {
    Handshake h = {};
    const WipeOnReturn wipe(&h, sizeof h);
    AssembleKeyBlock(h.keyBlock);
    const uint8_t* const preSharedKey = h.keyBlock + kPreSharedKeyOffset;

    if (!DriverVersionGate()) {
        return MISC_OLD_DRIVER;
    }

    // The probe's own result is not examined, only the error it leaves: cleared first, so that
    // an error left by an earlier call cannot put the channel in the clear.
    DWORD returned = 0;
    SetLastError(ERROR_SUCCESS);
    SessionRequest(nullptr, 0, nullptr, 0, &returned);
    if (GetLastError() == ERROR_NOT_SUPPORTED) {
        _bEncrypt = FALSE;
        return MISC_SUCCESS;
    }

    if (!g_primitives.hdrandInit()) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: hdrand_init failed"));
        return MISC_PLATFORM_FAILURE;
    }
    uint32_t tests = 0;
    while (tests < kMaxRandomTests && g_primitives.hdrandTest() == -1) {
        ++tests;
    }
    if (tests == kMaxRandomTests) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: hdrand_test failed 16 times"));
        return MISC_PLATFORM_FAILURE;
    }
    for (int i = 0; i < 3; ++i) {
        h.x[i] = g_primitives.hdrandNext();
    }
    for (uint32_t i = 0; i < 20; i += 4) {
        const uint32_t word = g_primitives.hdrandNext();
        std::memcpy(h.ini1.Na + i, &word, 4);
    }

    h.ini1.tag = kTagIni1;
    if (!g_primitives.pow2mod(h.ini1.A, kBigNumberWords, h.x, kExponentWords, kGroupPrime,
                              kBigNumberWords)) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: pow2mod failed."));
        return MISC_PLATFORM_FAILURE;
    }

    if (!SessionRequest(&h.ini1, sizeof h.ini1, &h.reply1, sizeof h.reply1, &returned) ||
        returned != sizeof h.reply1) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: DeviceIoControl failed."));
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }
    // From here on the driver holds a session: every failure ends it.
    const uint32_t sessionId = h.reply1.sessionId;

    auto* scratch =
        static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kScratchBytes));
    if (scratch == nullptr) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: HeapAlloc (phase2) failed."));
        EndSession(sessionId);
        SetLastError(error);
        return MISC_NO_MEMORY;
    }
    constexpr uint32_t kNumberBytes = 4 * kBigNumberWords;
    std::memcpy(scratch, h.ini1.Na, kNonceBytes);
    std::memcpy(scratch + kNonceBytes, h.reply1.Nb, kNonceBytes);
    hmac_sha1(&h.sha, preSharedKey, kPreSharedKeyBytes, scratch, 2 * kNonceBytes, h.K1);

    std::memset(scratch, 0, kScratchBytes);
    std::memcpy(scratch, h.reply1.B, kNumberBytes);
    std::memcpy(scratch + kNumberBytes, h.ini1.A, kNumberBytes);
    hmac_sha1(&h.sha, h.K1, kHmacBytes, scratch, kScratchBytes, h.expectedProof);

    std::memset(scratch, 0, kScratchBytes);
    std::memcpy(scratch, h.ini1.A, kNumberBytes);
    std::memcpy(scratch + kNumberBytes, h.reply1.B, kNumberBytes);
    hmac_sha1(&h.sha, h.K1, kHmacBytes, scratch, kScratchBytes, h.ini2.proof);

    SecureZero(scratch, kScratchBytes);
    HeapFree(GetProcessHeap(), 0, scratch);

    h.ini2.tag = kTagIni2;
    h.ini2.sessionId = sessionId;
    if (!SessionRequest(&h.ini2, sizeof h.ini2, h.driverProof, sizeof h.driverProof, &returned) ||
        returned != sizeof h.driverProof) {
        const DWORD error = GetLastError();
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: DeviceIoControl (phase2) failed."));
        EndSession(sessionId);
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }
    if (std::memcmp(h.driverProof, h.expectedProof, kHmacBytes) != 0) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: Driver Authentication Failed."));
        EndSession(sessionId);
        return MISC_NOT_FOUND;
    }

    if (!g_primitives.powmod(h.K, kBigNumberWords, h.reply1.B, kBigNumberWords, h.x, kExponentWords,
                             kGroupPrime, kBigNumberWords)) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: Key Encryption Key calculation failed."));
        EndSession(sessionId);
        return MISC_NOT_FOUND;
    }
    sha1_init(&h.sha);
    sha1_update(&h.sha, reinterpret_cast<const uint8_t*>(h.K), kNumberBytes);
    sha1_final(&h.sha);
    sha1_result(&h.sha, h.digest);
    std::memcpy(h.KEK, h.digest, sizeof h.KEK);

    auto* context = static_cast<BlowfishContext*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BlowfishContext)));
    if (context == nullptr) {
        const DWORD error = GetLastError();
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: HeapAlloc (phase3) failed."));
        EndSession(sessionId);
        SetLastError(error);
        return MISC_NO_MEMORY;
    }
    if (!g_primitives.blowfishInitialize(context, h.KEK, sizeof h.KEK)) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: BlowfishInitialize (1st time) failed."));
        EndSession(sessionId);
        WipeAndFree(context);
        return MISC_PLATFORM_FAILURE;
    }

    for (int i = 0; i < 4; ++i) {
        h.sessionKey[i] = g_primitives.hdrandNext();
        h.ini3.key[i] = h.sessionKey[i];
    }
    const bool enciphered =
        g_primitives.blowfishEncipher(context, &h.ini3.key[0], &h.ini3.key[1]) &&
        g_primitives.blowfishEncipher(context, &h.ini3.key[2], &h.ini3.key[3]);
    SecureZero(context, sizeof *context);
    if (!enciphered) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: BlowfishEncipher failed."));
        EndSession(sessionId);
        HeapFree(GetProcessHeap(), 0, context);
        return MISC_PLATFORM_FAILURE;
    }

    h.ini3.tag = kTagIni3;
    h.ini3.sessionId = sessionId;
    if (!SessionRequest(&h.ini3, sizeof h.ini3, h.confirmation, sizeof h.confirmation, &returned) ||
        returned != sizeof h.confirmation) {
        const DWORD error = GetLastError();
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: DeviceIoControl (phase3) failed."));
        EndSession(sessionId);
        HeapFree(GetProcessHeap(), 0, context);
        SetLastError(error);
        return MISC_PLATFORM_FAILURE;
    }
    if (!g_primitives.blowfishInitialize(context, reinterpret_cast<const uint8_t*>(h.sessionKey),
                                         kSessionKeyBytes)) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_Initialize: BlowfishInitialize (2nd time) failed."));
        EndSession(sessionId);
        WipeAndFree(context);
        return MISC_PLATFORM_FAILURE;
    }
    if (!g_primitives.blowfishDecipher(context, &h.confirmation[0], &h.confirmation[1]) ||
        h.confirmation[0] != kTagAuth || h.confirmation[1] != kTagMisc) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::_Initialize: BlowfishDecipher failed."));
        EndSession(sessionId);
        WipeAndFree(context);
        return MISC_PLATFORM_FAILURE;
    }

    _sessionId = sessionId;
    _pBlowfish = context;
    _sequence = 0;
    return MISC_SUCCESS;
}

}  // namespace MiscCommon
