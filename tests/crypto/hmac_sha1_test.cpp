#include <gtest/gtest.h>

#include "crypto/sha1.h"
#include "tests/support/vectors.h"

namespace {

std::string Hmac(const Bytes& key, const Bytes& data) {
    Sha1Context c;
    uint8_t out[20];
    hmac_sha1(&c, key.data(), static_cast<uint32_t>(key.size()), data.data(),
              static_cast<uint32_t>(data.size()), out);
    return ToHex(out, 20);
}

TEST(HmacSha1, Rfc2202Section3Cases) {
    const auto lines = VectorLines("hmac_sha1.txt");
    ASSERT_EQ(lines.size(), 7u);
    for (const std::string& line : lines) {
        const auto v = KeyValues(line);
        const std::string digest = Hmac(FromHex(v.at("key_hex")), FromHex(v.at("data_hex")));
        EXPECT_EQ(digest, v.at("digest")) << "case " << v.at("case");
        if (v.count("digest96")) {
            EXPECT_EQ(digest.substr(0, 24), v.at("digest96"));
        }
    }
}

TEST(HmacSha1, KeyOfOneBlockIsUsedDirectlyAndALongerOneIsHashed) {
    const Bytes data = {'m', 's', 'g'};
    Bytes key64(64, 0x42);
    Bytes key65(65, 0x42);
    Sha1Context c;
    sha1_init(&c);
    sha1_update(&c, key65.data(), 65);
    sha1_final(&c);
    Bytes hashed(20);
    sha1_result(&c, hashed.data());
    EXPECT_EQ(Hmac(key65, data), Hmac(hashed, data));
    // Were the 64-byte key hashed too, it would equal the HMAC under its digest.
    sha1_init(&c);
    sha1_update(&c, key64.data(), 64);
    sha1_final(&c);
    sha1_result(&c, hashed.data());
    EXPECT_NE(Hmac(key64, data), Hmac(hashed, data));
}

TEST(HmacSha1, NullPointersWriteNothing) {
    Sha1Context c;
    const uint8_t key[4] = {1, 2, 3, 4};
    uint8_t out[20];
    memset(out, 0xEE, sizeof out);
    hmac_sha1(&c, key, 4, nullptr, 0, out);
    hmac_sha1(nullptr, key, 4, key, 4, out);
    hmac_sha1(&c, nullptr, 4, key, 4, out);
    for (uint8_t b : out) {
        ASSERT_EQ(b, 0xEE);
    }
    hmac_sha1(&c, key, 4, key, 4, nullptr);
}

TEST(HmacSha1, LeavesTheContextInitialised) {
    Sha1Context c;
    const uint8_t key[4] = {1, 2, 3, 4};
    uint8_t out[20];
    hmac_sha1(&c, key, 4, key, 4, out);
    Sha1Context fresh;
    sha1_init(&fresh);
    EXPECT_EQ(0, memcmp(c.state, fresh.state, sizeof c.state));
    EXPECT_EQ(c.countLow, 0u);
    EXPECT_EQ(c.countHigh, 0u);
}

}  // namespace
