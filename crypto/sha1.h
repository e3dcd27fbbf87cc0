// SHA-1 (FIPS 180), HMAC-SHA1 (RFC 2104) and the hdrand generator, a hash-based source of
// random words for the session handshake. Nothing here allocates.
#pragma once

#include <cstdint>

// Caller-owned SHA-1 state. The digest is the FIPS 180 byte string: H0 to H4, each as four
// big-endian bytes.
struct Sha1Context {
    uint32_t state[5];
    uint32_t countLow;  // message bits absorbed, low 32 bits
    uint32_t countHigh;
    uint8_t buffer[64];  // bytes absorbed since the last compression
    uint8_t digest[20];  // the result of the last sha1_final
    uint32_t workspace[16];
};

// Each does nothing when pContext is null. Order: sha1_init, any number of sha1_update,
// sha1_final, then sha1_result as often as needed. sha1_final wipes everything but the digest.
void sha1_init(Sha1Context* pContext);
void sha1_update(Sha1Context* pContext, const uint8_t* pData, uint32_t length);
void sha1_final(Sha1Context* pContext);
void sha1_result(const Sha1Context* pContext, uint8_t* pDigest);

// HMAC-SHA1 of the data under the key, 20 bytes into pOut, computed in pContext (left
// initialised on return). Writes nothing when any of the four pointers is null, even for a
// data length of 0.
void hmac_sha1(Sha1Context* pContext, const uint8_t* pKey, uint32_t keyLength, const uint8_t* pData,
               uint32_t dataLength, uint8_t* pOut);

// The process-wide generator. hdrand_init seeds it from the UTC time and the high-resolution
// counter and returns true; hdrand_test returns 1; hdrand_next returns the next 32-bit word.
// Drawing before any seeding draws from an all-zero pool. Not thread-safe.
bool hdrand_init();
int hdrand_test();
uint32_t hdrand_next();
