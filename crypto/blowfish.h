// Blowfish, 16 rounds, keys of up to 16 bytes, as the Quenwick driver computes it. Two
// conventions differ from the published presentation and are fixed by the driver:
// - the key schedule sign-extends each key byte before it enters a key word, so a byte of
//   0x80 or more sets every bit above its own place in the word being built;
// - a block is two host-order words: L is bytes 0 to 3 of the block read little-endian, R
//   bytes 4 to 7.
// Blocks are enciphered on their own (no chaining). Nothing here allocates or keeps state
// outside the context.
#pragma once

#include <cstdint>

// Words 0-17 the P-array, then S-boxes 0 to 3 of 256 words each: 4168 bytes. A keyed context
// holds key-derived material; its owner wipes it before releasing it.
struct BlowfishContext {
    uint32_t P[18];
    uint32_t S[4][256];
};
static_assert(sizeof(BlowfishContext) == 4168, "the driver client allocates 4168 bytes");

// Keys the context with the first min(keyLength, 16) bytes of pKey, starting again from the
// constant tables (re-keying leaves nothing of the previous key). False, writing nothing,
// when pContext or pKey is null or keyLength is 0.
bool BlowfishInitialize(BlowfishContext* pContext, const uint8_t* pKey, uint32_t keyLength);

// Enciphers or deciphers the block (*pLeft, *pRight) in place. False, changing nothing, when
// any pointer is null.
bool BlowfishEncipher(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight);
bool BlowfishDecipher(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight);
