#include "crypto/sha1.h"

#include <cstring>

#include "crypto/secure_zero.h"

namespace {

inline uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadBigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The 80 steps, written out. W holds the 16 most recent message words; step t >= 16 replaces
// W[t mod 16] with the next word of the schedule.
#define SHA1_W0(t) (w[t] = LoadBigEndian(pBlock + 4 * (t)))
#define SHA1_W(t) \
    (w[(t)&15] = Rol(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1))
#define SHA1_STEP(a, b, c, d, e, f, k, word) \
    e += Rol(a, 5) + (f) + (k) + (word);     \
    b = Rol(b, 30)
#define F1(b, c, d) (((b) & ((c) ^ (d))) ^ (d))
#define F2(b, c, d) ((b) ^ (c) ^ (d))
#define F3(b, c, d) ((((b) | (c)) & (d)) | ((b) & (c)))
#define R0(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, F1(b, c, d), 0x5A827999u, SHA1_W0(t))
#define R1(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, F1(b, c, d), 0x5A827999u, SHA1_W(t))
#define R2(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, F2(b, c, d), 0x6ED9EBA1u, SHA1_W(t))
#define R3(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, F3(b, c, d), 0x8F1BBCDCu, SHA1_W(t))
#define R4(a, b, c, d, e, t) SHA1_STEP(a, b, c, d, e, F2(b, c, d), 0xCA62C1D6u, SHA1_W(t))

void Compress(Sha1Context* pContext, const uint8_t* pBlock) {
    uint32_t* w = pContext->workspace;
    uint32_t a = pContext->state[0];
    uint32_t b = pContext->state[1];
    uint32_t c = pContext->state[2];
    uint32_t d = pContext->state[3];
    uint32_t e = pContext->state[4];

    // clang-format off
    R0(a, b, c, d, e, 0);  R0(e, a, b, c, d, 1);  R0(d, e, a, b, c, 2);  R0(c, d, e, a, b, 3);
    R0(b, c, d, e, a, 4);  R0(a, b, c, d, e, 5);  R0(e, a, b, c, d, 6);  R0(d, e, a, b, c, 7);
    R0(c, d, e, a, b, 8);  R0(b, c, d, e, a, 9);  R0(a, b, c, d, e, 10); R0(e, a, b, c, d, 11);
    R0(d, e, a, b, c, 12); R0(c, d, e, a, b, 13); R0(b, c, d, e, a, 14); R0(a, b, c, d, e, 15);
    R1(e, a, b, c, d, 16); R1(d, e, a, b, c, 17); R1(c, d, e, a, b, 18); R1(b, c, d, e, a, 19);
    R2(a, b, c, d, e, 20); R2(e, a, b, c, d, 21); R2(d, e, a, b, c, 22); R2(c, d, e, a, b, 23);
    R2(b, c, d, e, a, 24); R2(a, b, c, d, e, 25); R2(e, a, b, c, d, 26); R2(d, e, a, b, c, 27);
    R2(c, d, e, a, b, 28); R2(b, c, d, e, a, 29); R2(a, b, c, d, e, 30); R2(e, a, b, c, d, 31);
    R2(d, e, a, b, c, 32); R2(c, d, e, a, b, 33); R2(b, c, d, e, a, 34); R2(a, b, c, d, e, 35);
    R2(e, a, b, c, d, 36); R2(d, e, a, b, c, 37); R2(c, d, e, a, b, 38); R2(b, c, d, e, a, 39);
    R3(a, b, c, d, e, 40); R3(e, a, b, c, d, 41); R3(d, e, a, b, c, 42); R3(c, d, e, a, b, 43);
    R3(b, c, d, e, a, 44); R3(a, b, c, d, e, 45); R3(e, a, b, c, d, 46); R3(d, e, a, b, c, 47);
    R3(c, d, e, a, b, 48); R3(b, c, d, e, a, 49); R3(a, b, c, d, e, 50); R3(e, a, b, c, d, 51);
    R3(d, e, a, b, c, 52); R3(c, d, e, a, b, 53); R3(b, c, d, e, a, 54); R3(a, b, c, d, e, 55);
    R3(e, a, b, c, d, 56); R3(d, e, a, b, c, 57); R3(c, d, e, a, b, 58); R3(b, c, d, e, a, 59);
    R4(a, b, c, d, e, 60); R4(e, a, b, c, d, 61); R4(d, e, a, b, c, 62); R4(c, d, e, a, b, 63);
    R4(b, c, d, e, a, 64); R4(a, b, c, d, e, 65); R4(e, a, b, c, d, 66); R4(d, e, a, b, c, 67);
    R4(c, d, e, a, b, 68); R4(b, c, d, e, a, 69); R4(a, b, c, d, e, 70); R4(e, a, b, c, d, 71);
    R4(d, e, a, b, c, 72); R4(c, d, e, a, b, 73); R4(b, c, d, e, a, 74); R4(a, b, c, d, e, 75);
    R4(e, a, b, c, d, 76); R4(d, e, a, b, c, 77); R4(c, d, e, a, b, 78); R4(b, c, d, e, a, 79);
    // clang-format on

    pContext->state[0] += a;
    pContext->state[1] += b;
    pContext->state[2] += c;
    pContext->state[3] += d;
    pContext->state[4] += e;
}

}  // namespace

void sha1_init(Sha1Context* pContext) {
    if (pContext == nullptr) {
        return;
    }
    pContext->state[0] = 0x67452301;
    pContext->state[1] = 0xEFCDAB89;
    pContext->state[2] = 0x98BADCFE;
    pContext->state[3] = 0x10325476;
    pContext->state[4] = 0xC3D2E1F0;
    pContext->countLow = 0;
    pContext->countHigh = 0;
}

void sha1_update(Sha1Context* pContext, const uint8_t* pData, uint32_t length) {
    if (pContext == nullptr || length == 0) {
        return;
    }
    const uint32_t used = (pContext->countLow >> 3) & 63;
    const uint32_t low = pContext->countLow + (length << 3);
    if (low < pContext->countLow) {
        ++pContext->countHigh;
    }
    pContext->countLow = low;
    pContext->countHigh += length >> 29;

    uint32_t i = 0;
    if (used + length >= 64) {
        i = 64 - used;
        std::memcpy(pContext->buffer + used, pData, i);
        Compress(pContext, pContext->buffer);
        for (; i + 64 <= length; i += 64) {
            Compress(pContext, pData + i);
        }
        std::memcpy(pContext->buffer, pData + i, length - i);
    } else {
        std::memcpy(pContext->buffer + used, pData, length);
    }
}

void sha1_final(Sha1Context* pContext) {
    if (pContext == nullptr) {
        return;
    }
    uint8_t length[8];
    for (int i = 0; i < 4; ++i) {
        length[i] = static_cast<uint8_t>(pContext->countHigh >> (24 - 8 * i));
        length[4 + i] = static_cast<uint8_t>(pContext->countLow >> (24 - 8 * i));
    }
    static const uint8_t kPadding[64] = {0x80};
    const uint32_t used = (pContext->countLow >> 3) & 63;
    sha1_update(pContext, kPadding, used < 56 ? 56 - used : 120 - used);
    sha1_update(pContext, length, 8);
    for (int i = 0; i < 20; ++i) {
        pContext->digest[i] = static_cast<uint8_t>(pContext->state[i / 4] >> (24 - 8 * (i % 4)));
    }
    // Leave nothing of the message: clear the buffer, the chaining values and the count, then
    // run the compression once over the cleared buffer to overwrite the workspace.
    SecureZero(pContext->buffer, sizeof pContext->buffer);
    SecureZero(pContext->state, sizeof pContext->state);
    pContext->countLow = 0;
    pContext->countHigh = 0;
    Compress(pContext, pContext->buffer);
}

void sha1_result(const Sha1Context* pContext, uint8_t* pDigest) {
    if (pContext == nullptr) {
        return;
    }
    std::memcpy(pDigest, pContext->digest, sizeof pContext->digest);
}
