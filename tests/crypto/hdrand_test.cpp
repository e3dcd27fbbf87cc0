#include <gtest/gtest.h>

#include <cstring>

#include "crypto/hdrand_state.h"
#include "tests/support/vectors.h"

namespace {

// Expected values computed independently with Python's hashlib from the generator's rule:
// draw = pool[index..index+3] little-endian, then pool = SHA-1(pool[2..17] || index LE32).

// Must stay the first test of this program: nothing has seeded the generator yet.
TEST(Hdrand, DrawsFromAnAllZeroPoolBeforeSeeding) {
    EXPECT_EQ(hdrand_next(), 0u);
    EXPECT_EQ(hdrand_next(), 0x24686421u);
}

TEST(Hdrand, DrawsTakePoolBytes0To15InTurnAndNever16To19) {
    for (int i = 0; i < 20; ++i) {
        g_hdrand.pool[i] = static_cast<uint8_t>(i);
    }
    g_hdrand.index = 0;
    const uint32_t expected[6] = {0x03020100, 0x50d4f892, 0x5e16b70a,
                                  0x95842ad2, 0xd6637465, 0x47fa37c0};
    const uint32_t indexAfter[6] = {4, 8, 12, 16, 4, 8};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(hdrand_next(), expected[i]) << "draw " << i;
        EXPECT_EQ(g_hdrand.index, indexAfter[i]) << "draw " << i;
    }
    EXPECT_EQ(ToHex(g_hdrand.pool, 20), "a47c7415ca4186370ccf22254de5dc6c198b810f");
}

TEST(Hdrand, InitSeedsAFreshPoolAndResetsTheIndex) {
    g_hdrand.index = 12;
    memset(g_hdrand.pool, 0, sizeof g_hdrand.pool);
    EXPECT_TRUE(hdrand_init());
    EXPECT_EQ(g_hdrand.index, 0u);
    const uint8_t zero[20] = {};
    EXPECT_NE(0, memcmp(g_hdrand.pool, zero, 20));
}

TEST(Hdrand, TestAlwaysPasses) {
    EXPECT_EQ(hdrand_test(), 1);
    g_hdrand.index = 0xFFFFFFFF;
    EXPECT_EQ(hdrand_test(), 1);
    g_hdrand.index = 0;
}

}  // namespace
