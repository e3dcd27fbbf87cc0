// SHA-1, HMAC-SHA1 and Blowfish checked against OpenSSL's libcrypto on many inputs.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/blowfish.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include <cstring>
#include <random>

#include "crypto/blowfish.h"
#include "crypto/sha1.h"
#include "tests/support/vectors.h"

namespace {

Bytes RandomBytes(std::mt19937& rng, size_t n) {
    Bytes b(n);
    for (auto& x : b) {
        x = static_cast<uint8_t>(rng());
    }
    return b;
}

TEST(Sha1VersusOpenSsl, EveryLengthUpTo300InRandomPieces) {
    std::mt19937 rng(1234);
    for (size_t n = 0; n <= 300; ++n) {
        const Bytes m = RandomBytes(rng, n);
        Sha1Context c;
        sha1_init(&c);
        size_t at = 0;
        while (at < n) {
            const size_t piece = std::min<size_t>(n - at, rng() % 80);
            sha1_update(&c, m.data() + at, static_cast<uint32_t>(piece));
            at += piece;
        }
        sha1_final(&c);
        uint8_t ours[20], theirs[20];
        sha1_result(&c, ours);
        SHA1(m.data(), n, theirs);
        ASSERT_EQ(ToHex(ours, 20), ToHex(theirs, 20)) << "length " << n;
    }
}

TEST(HmacSha1VersusOpenSsl, KeysOfEveryLengthUpTo130) {
    std::mt19937 rng(99);
    for (size_t keyLength = 0; keyLength <= 130; ++keyLength) {
        const Bytes key = RandomBytes(rng, keyLength);
        const Bytes data = RandomBytes(rng, rng() % 300);
        Sha1Context c;
        uint8_t ours[20], theirs[20];
        unsigned int theirLength = 0;
        const uint8_t empty = 0;
        hmac_sha1(&c, keyLength ? key.data() : &empty, static_cast<uint32_t>(keyLength),
                  data.empty() ? &empty : data.data(), static_cast<uint32_t>(data.size()), ours);
        HMAC(EVP_sha1(), key.data(), static_cast<int>(keyLength), data.data(), data.size(), theirs,
             &theirLength);
        ASSERT_EQ(theirLength, 20u);
        ASSERT_EQ(ToHex(ours, 20), ToHex(theirs, 20)) << "key length " << keyLength;
    }
}

// The standard key whose published schedule gives the subkeys that the sign-extending
// schedule gives for key: each group's word, with the sign bits ORed in, as big-endian bytes.
Bytes EquivalentStandardKey(const Bytes& key) {
    Bytes out;
    for (size_t g = 0; g < key.size(); g += 4) {
        uint32_t acc = 0;
        for (size_t k = 0; k < 4; ++k) {
            acc = (acc << 8) | static_cast<uint32_t>(static_cast<int8_t>(key[g + k]));
        }
        for (int k = 3; k >= 0; --k) {
            out.push_back(static_cast<uint8_t>(acc >> (8 * k)));
        }
    }
    return out;
}

bool SameAsOpenSsl(const BlowfishContext& ours, const BF_KEY& theirs) {
    return memcmp(ours.P, theirs.P, sizeof ours.P) == 0 &&
           memcmp(ours.S, theirs.S, sizeof ours.S) == 0;
}

TEST(BlowfishVersusOpenSsl, KeysWithoutHighBytesGiveThePublishedSchedule) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        Bytes key = RandomBytes(rng, 16);
        for (auto& b : key) {
            b &= 0x7F;
        }
        BlowfishContext ours;
        ASSERT_TRUE(BlowfishInitialize(&ours, key.data(), 16));
        BF_KEY theirs;
        BF_set_key(&theirs, 16, key.data());
        ASSERT_TRUE(SameAsOpenSsl(ours, theirs)) << ToHex(key);

        uint32_t l = static_cast<uint32_t>(rng()), r = static_cast<uint32_t>(rng());
        BF_LONG block[2] = {l, r};
        ASSERT_TRUE(BlowfishEncipher(&ours, &l, &r));
        BF_encrypt(block, &theirs);
        ASSERT_EQ(l, block[0]);
        ASSERT_EQ(r, block[1]);
        BF_decrypt(block, &theirs);
        ASSERT_TRUE(BlowfishDecipher(&ours, &l, &r));
        ASSERT_EQ(l, block[0]);
        ASSERT_EQ(r, block[1]);
    }
}

TEST(BlowfishVersusOpenSsl, AnyKeyEqualsThePublishedScheduleOfItsSignExtendedWords) {
    std::mt19937 rng(8);
    int differing = 0;
    for (int i = 0; i < 200; ++i) {
        const Bytes key = RandomBytes(rng, 16);
        BlowfishContext ours;
        ASSERT_TRUE(BlowfishInitialize(&ours, key.data(), 16));
        const Bytes equivalent = EquivalentStandardKey(key);
        BF_KEY theirs;
        BF_set_key(&theirs, 16, equivalent.data());
        ASSERT_TRUE(SameAsOpenSsl(ours, theirs)) << ToHex(key);
        BF_KEY published;
        BF_set_key(&published, 16, key.data());
        differing += !SameAsOpenSsl(ours, published);
    }
    // A random 16-byte key almost always has a high byte after the first place of a group.
    EXPECT_GT(differing, 190);
}

}  // namespace
