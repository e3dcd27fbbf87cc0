#include <cstring>

#include "crypto/blowfish.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "driver_client/primitives.h"

namespace MiscCommon {

namespace {

// Callers pass at most 65535 bytes each way; larger lengths are refused so that no capsule
// size can wrap.
constexpr uint32_t kMaxCapsuleData = 0x10000;

constexpr uint32_t CapsuleBytes(uint32_t sizePayload) {
    return kCapsuleOverheadBytes + (sizePayload + 7) / 8 * 8;
}

uint8_t* PayloadOf(MessageCapsule* capsule) {
    return reinterpret_cast<uint8_t*>(capsule) + kCapsuleHeaderBytes;
}

// The blocks of a capsule of `size` bytes: none below the 16 bytes of an empty one.
uint32_t BlockCount(uint32_t size) {
    return size < kCapsuleOverheadBytes ? 0 : (size - kCapsuleOverheadBytes) / 8;
}

using BlockCipher = bool (*)(const BlowfishContext*, uint32_t*, uint32_t*);

// Applies the cipher to each block; the index of the first failing one, or -1.
int32_t ApplyToBlocks(MessageCapsule* capsule, uint32_t blocks, BlockCipher cipher) {
    auto* words = reinterpret_cast<uint32_t*>(PayloadOf(capsule));
    for (uint32_t i = 0; i < blocks; ++i) {
        if (!cipher(CMiscCommon::_pBlowfish, &words[2 * i], &words[2 * i + 1])) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

struct CipherTexts {
    const WCHAR* noCapsule;
    const WCHAR* noContext;
    const WCHAR* blockFailed;
};

// _Encrypt and _Decrypt: the same checks and walk, with their own cipher and texts.
MiscStatus CipherCapsule(MessageCapsule* capsule, BlockCipher cipher, const CipherTexts& texts) {
    if (capsule == nullptr) {
        CMiscCommon::_SetErrorMessage(texts.noCapsule);
        return MISC_MISSING_ARGUMENT;
    }
    if (CMiscCommon::_pBlowfish == nullptr) {
        CMiscCommon::_SetErrorMessage(texts.noContext);
        return MISC_NO_DEVICE;
    }
    const int32_t failed = ApplyToBlocks(capsule, BlockCount(capsule->sizeCapsule), cipher);
    if (failed >= 0) {
        CMiscCommon::_SetErrorMessage(texts.blockFailed, failed);
        return MISC_PLATFORM_FAILURE;
    }
    return MISC_SUCCESS;
}

void FreeAll(void* a, void* b, void* c) {
    HeapFree(GetProcessHeap(), 0, a);
    HeapFree(GetProcessHeap(), 0, b);
    HeapFree(GetProcessHeap(), 0, c);
}

}  // namespace

MessageCapsule* CMiscCommon::_InitializeMessageCapsule(uint32_t sizePayload,
                                                       const uint8_t* payload) {
    const uint32_t size = CapsuleBytes(sizePayload);
    auto* capsule =
        static_cast<MessageCapsule*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (capsule == nullptr) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::_InitializeMessageCapsule: HeapAlloc failed."));
        return nullptr;
    }
    capsule->sizePayload = sizePayload;
    capsule->sizeCapsule = size;
    if (payload != nullptr) {
        std::memcpy(PayloadOf(capsule), payload, sizePayload);
    }
    return capsule;
}

MiscStatus CMiscCommon::_Encrypt(MessageCapsule* capsule) {
    return CipherCapsule(capsule, g_primitives.blowfishEncipher,
                         {WSTR("MiscCommon::CMiscCommon::_Encrypt: capsule is NULL"),
                          WSTR("MiscCommon::CMiscCommon::_Encrypt: BlowFish Context is not "
                               "initialized."),
                          WSTR("MiscCommon::CMiscCommon::_Encrypt: BlowFish Encipher failed. "
                               "i = %d")});
}

MiscStatus CMiscCommon::_Decrypt(MessageCapsule* capsule) {
    return CipherCapsule(capsule, g_primitives.blowfishDecipher,
                         {WSTR("MiscCommon::CMiscCommon::_Decrypt: capsule is NULL"),
                          WSTR("MiscCommon::CMiscCommon::_Decrypt: BlowFish Context is not "
                               "initialized."),
                          WSTR("MiscCommon::CMiscCommon::_Decrypt: BlowFish Decipher failed. "
                               "i = %d")});
}

BOOL CMiscCommon::EncapsuledDeviceIoControl(const uint8_t* pIn, uint32_t sizeIn, uint8_t* pOut,
                                            uint32_t sizeOut, uint32_t* pReturned) {
    if (!DriverVersionGate()) {
        return FALSE;
    }
    if ((pIn == nullptr) != (sizeIn == 0) || (pOut == nullptr) != (sizeOut == 0) ||
        pReturned == nullptr || sizeIn > kMaxCapsuleData || sizeOut > kMaxCapsuleData) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid Argument(s)."));
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (_bEncrypt && _pBlowfish == nullptr) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Session Not Initialized."));
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *pReturned = 0;

    const uint32_t sizeRequest = sizeIn + kEncapsuledRequestOverheadBytes;
    auto* request =
        static_cast<EncapsuledRequest*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeRequest));
    if (request == nullptr) {
        _SetErrorMessage(
            WSTR("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: HeapAlloc failed."));
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    request->sequence = _sequence;
    request->sizeRequest = sizeRequest;
    request->ioControlCode = IOCTL_MISC_FUNCTION;
    request->sizeIn = sizeIn;
    request->sizeOut = sizeOut;
    if (pIn != nullptr) {
        std::memcpy(request + 1, pIn, sizeIn);
    }

    MessageCapsule* capsule =
        _InitializeMessageCapsule(sizeRequest, reinterpret_cast<const uint8_t*>(request));
    if (capsule == nullptr) {
        HeapFree(GetProcessHeap(), 0, request);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    capsule->sessionId = _sessionId;
    if (_bEncrypt && _Encrypt(capsule) != MISC_SUCCESS) {
        FreeAll(request, capsule, nullptr);
        SetLastError(ERROR_INTERNAL_ERROR);
        return FALSE;
    }

    MessageCapsule* reply = _InitializeMessageCapsule(sizeOut, nullptr);
    if (reply == nullptr) {
        const DWORD error = GetLastError();
        FreeAll(request, capsule, nullptr);
        SetLastError(error);
        return FALSE;
    }
    const uint32_t replyBytes = reply->sizeCapsule;
    std::memset(reply, 0, replyBytes);

    DWORD returned = 0;
    const BOOL result = DeviceIoControl(_hDevice, IOCTL_MISC_CAPSULE, capsule, capsule->sizeCapsule,
                                        reply, replyBytes, &returned, nullptr);
    const DWORD deviceError = GetLastError();
    if (result || returned > 0) {
        ++_sequence;
    }
    if (returned < kCapsuleHeaderBytes) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid "
                              "structure returned. size = %d"),
                         static_cast<int32_t>(returned));
        FreeAll(request, capsule, reply);
        return FALSE;
    }
    // The reply's own fields are checked against what came back: the bytes delivered (the
    // smaller of sizePayload and sizeOut) must lie in blocks that were both claimed and
    // received. The deciphering walks only those blocks, so neither it nor the copy can leave
    // the receive buffer. A payload larger than the caller's room is cut to it (MORE_DATA).
    const uint32_t sizePayload = reply->sizePayload;
    const uint32_t claimedBlocks = BlockCount(reply->sizeCapsule);
    const uint32_t received = returned < replyBytes ? returned : replyBytes;
    const uint32_t receivedBlocks = (received - kCapsuleHeaderBytes) / 8;
    const uint32_t walkedBlocks = claimedBlocks < receivedBlocks ? claimedBlocks : receivedBlocks;
    const uint32_t delivered = sizePayload < sizeOut ? sizePayload : sizeOut;
    if (delivered > 8 * walkedBlocks) {
        _SetErrorMessage(WSTR("MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid "
                              "structure returned. size = %d"),
                         static_cast<int32_t>(returned));
        FreeAll(request, capsule, reply);
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    reply->sizeCapsule = kCapsuleOverheadBytes + 8 * walkedBlocks;
    if (_bEncrypt && _Decrypt(reply) != MISC_SUCCESS) {
        FreeAll(request, capsule, reply);
        SetLastError(ERROR_INTERNAL_ERROR);
        return FALSE;
    }

    if (sizePayload > sizeOut) {
        std::memcpy(pOut, PayloadOf(reply), sizeOut);
        *pReturned = sizeOut;
        FreeAll(request, capsule, reply);
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    if (sizePayload > 0) {
        std::memcpy(pOut, PayloadOf(reply), sizePayload);
        *pReturned = sizePayload;
    }
    FreeAll(request, capsule, reply);
    SetLastError(deviceError);
    return result;
}

}  // namespace MiscCommon
