#include <gtest/gtest.h>

#include "crypto/hdrand_state.h"
#include "platform/host/seam.h"
#include "tests/support/vectors.h"

namespace {

TEST(HdrandSeed, PoolIsSha1OfTheCounterThenTheTimeRecord) {
    const SYSTEMTIME time = {2026, 12, 5, 11, 9, 30, 15, 250};
    LARGE_INTEGER counter;
    counter.QuadPart = 0x0123456789ABCDEF;
    HostClockOverride() = {&time, &counter};
    ASSERT_TRUE(hdrand_init());
    HostClockOverride() = {nullptr, nullptr};
    // SHA-1 of ef cd ab 89 67 45 23 01 | ea 07 0c 00 05 00 0b 00 09 00 1e 00 0f 00 fa 00,
    // computed with Python's hashlib.
    EXPECT_EQ(ToHex(g_hdrand.pool, 20), "f961873176d1b2a577a3c9fd1a1e5dbcb3d7d3de");
}

TEST(HdrandSeed, TheRealClockGivesADifferentSeedEachTime) {
    ASSERT_TRUE(hdrand_init());
    const std::string first = ToHex(g_hdrand.pool, 20);
    ASSERT_TRUE(hdrand_init());
    EXPECT_NE(ToHex(g_hdrand.pool, 20), first);
}

}  // namespace
