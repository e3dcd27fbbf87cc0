#include <cstring>

#include "crypto/secure_zero.h"
#include "crypto/sha1.h"

namespace {
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kDigestSize = 20;
}  // namespace

void hmac_sha1(Sha1Context* pContext, const uint8_t* pKey, uint32_t keyLength, const uint8_t* pData,
               uint32_t dataLength, uint8_t* pOut) {
    uint8_t innerPad[kBlockSize] = {};
    uint8_t outerPad[kBlockSize] = {};
    if (pContext == nullptr || pKey == nullptr || pData == nullptr || pOut == nullptr) {
        return;
    }
    if (keyLength > kBlockSize) {
        sha1_init(pContext);
        sha1_update(pContext, pKey, keyLength);
        sha1_final(pContext);
        sha1_result(pContext, innerPad);
        sha1_result(pContext, outerPad);
    } else {
        std::memcpy(innerPad, pKey, keyLength);
        std::memcpy(outerPad, pKey, keyLength);
    }
    for (uint32_t i = 0; i < kBlockSize; ++i) {
        innerPad[i] ^= 0x36;
        outerPad[i] ^= 0x5C;
    }

    uint8_t innerDigest[kDigestSize];
    sha1_init(pContext);
    sha1_update(pContext, innerPad, kBlockSize);
    sha1_update(pContext, pData, dataLength);
    sha1_final(pContext);
    sha1_result(pContext, innerDigest);

    sha1_init(pContext);
    sha1_update(pContext, outerPad, kBlockSize);
    sha1_update(pContext, innerDigest, kDigestSize);
    sha1_final(pContext);
    sha1_result(pContext, pOut);

    // The pads and the inner digest are derived from the key.
    SecureZero(innerPad, sizeof innerPad);
    SecureZero(outerPad, sizeof outerPad);
    SecureZero(innerDigest, sizeof innerDigest);
    SecureZero(pContext->digest, sizeof pContext->digest);
    sha1_init(pContext);
}
