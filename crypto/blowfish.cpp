#include "crypto/blowfish.h"

#include <cstring>

#include "crypto/blowfish_constants.h"

namespace {

inline uint32_t F(const BlowfishContext& c, uint32_t x) {
    return ((c.S[0][x >> 24] + c.S[1][(x >> 16) & 0xFF]) ^ c.S[2][(x >> 8) & 0xFF]) +
           c.S[3][x & 0xFF];
}

void Encipher(const BlowfishContext& c, uint32_t& left, uint32_t& right) {
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= c.P[i];
        r ^= F(c, l);
        r ^= c.P[i + 1];
        l ^= F(c, r);
    }
    left = r ^ c.P[17];
    right = l ^ c.P[16];
}

void Decipher(const BlowfishContext& c, uint32_t& left, uint32_t& right) {
    uint32_t l = left;
    uint32_t r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= c.P[i];
        r ^= F(c, l);
        r ^= c.P[i - 1];
        l ^= F(c, r);
    }
    left = r ^ c.P[0];
    right = l ^ c.P[1];
}

}  // namespace

bool BlowfishInitialize(BlowfishContext* pContext, const uint8_t* pKey, uint32_t keyLength) {
    if (pContext == nullptr || pKey == nullptr || keyLength == 0) {
        return false;
    }
    const uint32_t n = keyLength > 16 ? 16 : keyLength;
    BlowfishContext& c = *pContext;
    std::memcpy(c.P, kBlowfishInitialP, sizeof c.P);
    std::memcpy(c.S, kBlowfishInitialS, sizeof c.S);

    uint32_t j = 0;
    for (uint32_t& p : c.P) {
        uint32_t acc = 0;
        for (int k = 0; k < 4; ++k) {
            // The byte is sign-extended: the driver's schedule ORs its high bits in too.
            const uint32_t widened =
                static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(pKey[j])));
            acc = (acc << 8) | widened;
            j = j + 1 < n ? j + 1 : 0;
        }
        p ^= acc;
    }

    uint32_t l = 0;
    uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        Encipher(c, l, r);
        c.P[i] = l;
        c.P[i + 1] = r;
    }
    for (auto& box : c.S) {
        for (int i = 0; i < 256; i += 2) {
            Encipher(c, l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
    return true;
}

bool BlowfishEncipher(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight) {
    if (pContext == nullptr || pLeft == nullptr || pRight == nullptr) {
        return false;
    }
    Encipher(*pContext, *pLeft, *pRight);
    return true;
}

bool BlowfishDecipher(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight) {
    if (pContext == nullptr || pLeft == nullptr || pRight == nullptr) {
        return false;
    }
    Decipher(*pContext, *pLeft, *pRight);
    return true;
}
