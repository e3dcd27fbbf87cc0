#include "crypto/blowfish.h"

#include <gtest/gtest.h>

#include <cstring>

#include "crypto/blowfish_constants.h"
#include "tests/support/vectors.h"

namespace {

uint32_t BigEndianWord(const Bytes& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}
uint32_t LittleEndianWord(const Bytes& b, size_t at) {
    return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
           (uint32_t{b[at + 3]} << 24);
}

BlowfishContext Keyed(const Bytes& key) {
    BlowfishContext c;
    EXPECT_TRUE(BlowfishInitialize(&c, key.data(), static_cast<uint32_t>(key.size())));
    return c;
}

bool SameContext(const BlowfishContext& a, const BlowfishContext& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

TEST(BlowfishConstants, AreTheFractionalHexDigitsOfPiAsPublished) {
    const auto lines = VectorLines("blowfish_constants.txt");
    size_t checked = 0;
    for (const std::string& line : lines) {
        const auto f = Fields(line);
        const std::string& table = f[0];
        const size_t first = std::stoul(f[1]);
        for (size_t i = 2; i < f.size(); ++i) {
            const uint32_t word = static_cast<uint32_t>(std::stoul(f[i], nullptr, 16));
            const size_t index = first + i - 2;
            if (table == "P") {
                EXPECT_EQ(kBlowfishInitialP[index], word) << "P " << index;
            } else {
                const size_t box = static_cast<size_t>(table[1] - '0');
                EXPECT_EQ(kBlowfishInitialS[256 * box + index], word) << table << " " << index;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 18u + 1024u);
}

// Eric Young's set, published as big-endian byte strings: here each half is read big-endian
// into (L, R), which is what the little-endian block convention sees after a byte swap.
TEST(BlowfishEcb, PublishedVectorsHoldExactlyWhereSignExtensionChangesNoKeyWord) {
    const auto lines = VectorLines("blowfish_ecb.txt");
    ASSERT_EQ(lines.size(), 34u);
    for (const std::string& line : lines) {
        const auto f = Fields(line);
        const Bytes key = FromHex(f[1]);
        const Bytes plain = FromHex(f[2]);
        const Bytes cipher = FromHex(f[3]);
        const bool expectedToHold = f[4] != "signext-breaks";
        const BlowfishContext c = Keyed(key);
        uint32_t l = BigEndianWord(plain, 0);
        uint32_t r = BigEndianWord(plain, 4);
        ASSERT_TRUE(BlowfishEncipher(&c, &l, &r));
        const bool holds = l == BigEndianWord(cipher, 0) && r == BigEndianWord(cipher, 4);
        EXPECT_EQ(holds, expectedToHold) << "vector " << f[0] << " (" << f[4] << ")";
        ASSERT_TRUE(BlowfishDecipher(&c, &l, &r));
        EXPECT_EQ(l, BigEndianWord(plain, 0)) << "vector " << f[0];
        EXPECT_EQ(r, BigEndianWord(plain, 4)) << "vector " << f[0];
    }
}

TEST(BlowfishSignExtension, DriverVariantCasesAndTheirEquivalentStandardKeys) {
    const auto lines = VectorLines("blowfish_signext.txt");
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        const auto v = KeyValues(line);
        const Bytes key = FromHex(v.at("key_hex"));
        const Bytes plain = FromHex(v.at("plain_hex"));
        const Bytes cipher = FromHex(v.at("cipher_hex"));
        const uint32_t plainL = static_cast<uint32_t>(std::stoul(v.at("plain_L"), nullptr, 16));
        ASSERT_EQ(LittleEndianWord(plain, 0), plainL) << "block halves are little-endian";

        const BlowfishContext c = Keyed(key);
        uint32_t l = LittleEndianWord(plain, 0);
        uint32_t r = LittleEndianWord(plain, 4);
        ASSERT_TRUE(BlowfishEncipher(&c, &l, &r));
        EXPECT_EQ(l, static_cast<uint32_t>(std::stoul(v.at("cipher_L"), nullptr, 16)));
        EXPECT_EQ(r, static_cast<uint32_t>(std::stoul(v.at("cipher_R"), nullptr, 16)));
        EXPECT_EQ(l, LittleEndianWord(cipher, 0));
        EXPECT_EQ(r, LittleEndianWord(cipher, 4));
        const Bytes standard = FromHex(v.at("std_cipher_hex"));
        EXPECT_FALSE(l == LittleEndianWord(standard, 0) && r == LittleEndianWord(standard, 4));

        // Every key byte of the equivalent key is below 0x80 or first in its group, so the
        // sign-extending schedule keys it exactly as the published one does.
        EXPECT_TRUE(SameContext(c, Keyed(FromHex(v.at("equiv_key_hex")))));
    }
}

TEST(BlowfishKeySchedule, AllZeroKeyGivesThePublishedResult) {
    const BlowfishContext c = Keyed(Bytes(16, 0));
    uint32_t l = 0, r = 0;
    ASSERT_TRUE(BlowfishEncipher(&c, &l, &r));
    EXPECT_EQ(l, 0x4EF99745u);
    EXPECT_EQ(r, 0x6198DD78u);
    ASSERT_TRUE(BlowfishDecipher(&c, &l, &r));
    EXPECT_EQ(l, 0u);
    EXPECT_EQ(r, 0u);
}

TEST(BlowfishKeySchedule, OnlyTheFirst16KeyBytesCount) {
    Bytes key(24);
    for (size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<uint8_t>(0x11 * i + 0x80);
    }
    EXPECT_TRUE(SameContext(Keyed(key), Keyed(Bytes(key.begin(), key.begin() + 16))));
}

TEST(BlowfishKeySchedule, RekeyingEqualsKeyingAFreshContext) {
    const Bytes first = FromHex("00112233445566778899AABBCCDDEEFF");
    const Bytes second = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    BlowfishContext c = Keyed(first);
    ASSERT_TRUE(BlowfishInitialize(&c, second.data(), 16));
    EXPECT_TRUE(SameContext(c, Keyed(second)));
}

TEST(BlowfishKeySchedule, ByteAtOrAbove0x80ChangesTheKeyWordOnlyAfterTheFirstPlace) {
    struct Case {
        const char* key;
        const char* equivalent;
    };
    // Each 4-byte group becomes the big-endian word of its bytes with the higher bits of
    // every sign-extended byte ORed in.
    const Case cases[] = {
        {"80000000", "80000000"},  // first in its group: shifted out, nothing changes
        {"00800000", "FF800000"}, {"00008000", "FFFF8000"},
        {"000000FF", "FFFFFFFF"}, {"127F3456", "127F3456"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SameContext(Keyed(FromHex(c.key)), Keyed(FromHex(c.equivalent)))) << c.key;
    }
}

TEST(Blowfish, EncipherThenDecipherRestoresEveryBlock) {
    const BlowfishContext c = Keyed(FromHex("3C91E705D2486AB31FC47E29805DF2A6"));
    uint32_t seed = 1;
    for (int i = 0; i < 1000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const uint32_t l0 = seed;
        const uint32_t r0 = seed * 2654435761u;
        uint32_t l = l0, r = r0;
        ASSERT_TRUE(BlowfishEncipher(&c, &l, &r));
        ASSERT_FALSE(l == l0 && r == r0);
        ASSERT_TRUE(BlowfishDecipher(&c, &l, &r));
        ASSERT_EQ(l, l0);
        ASSERT_EQ(r, r0);
    }
}

TEST(Blowfish, NullPointersAreRefusedAndChangeNothing) {
    BlowfishContext c;
    memset(&c, 0x5A, sizeof c);
    const BlowfishContext before = c;
    const uint8_t key[16] = {1};
    EXPECT_FALSE(BlowfishInitialize(nullptr, key, 16));
    EXPECT_FALSE(BlowfishInitialize(&c, nullptr, 16));
    EXPECT_FALSE(BlowfishInitialize(&c, key, 0));
    EXPECT_TRUE(SameContext(c, before));

    uint32_t l = 7, r = 9;
    EXPECT_FALSE(BlowfishEncipher(nullptr, &l, &r));
    EXPECT_FALSE(BlowfishEncipher(&c, nullptr, &r));
    EXPECT_FALSE(BlowfishEncipher(&c, &l, nullptr));
    EXPECT_FALSE(BlowfishDecipher(nullptr, &l, &r));
    EXPECT_FALSE(BlowfishDecipher(&c, nullptr, &r));
    EXPECT_FALSE(BlowfishDecipher(&c, &l, nullptr));
    EXPECT_EQ(l, 7u);
    EXPECT_EQ(r, 9u);
}

}  // namespace
