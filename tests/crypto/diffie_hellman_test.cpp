#include <gtest/gtest.h>

#include <vector>

#include "crypto/big_int.h"
#include "crypto/sha1.h"
#include "tests/support/vectors.h"

namespace {

// Both sides of the handshake's exchange: public values 2^x mod p, shared secret B^x mod p.
TEST(DiffieHellman, BothSidesAgreeWith96BitExponents) {
    const std::vector<uint32_t> p = Modp1024Words();
    ASSERT_TRUE(hdrand_init());
    for (int round = 0; round < 4; ++round) {
        const uint32_t x[4] = {hdrand_next(), hdrand_next(), hdrand_next(), 0};
        const uint32_t y[4] = {hdrand_next(), hdrand_next(), hdrand_next(), 0};
        std::vector<uint32_t> a(33, 0), b(33, 0), kClient(33, 0), kDriver(33, 0);
        ASSERT_TRUE(pow2mod(a.data(), 33, x, 4, p.data(), 33));
        ASSERT_TRUE(pow2mod(b.data(), 33, y, 4, p.data(), 33));
        ASSERT_TRUE(powmod(kClient.data(), 33, b.data(), 33, x, 4, p.data(), 33));
        ASSERT_TRUE(powmod(kDriver.data(), 33, a.data(), 33, y, 4, p.data(), 33));
        EXPECT_EQ(kClient, kDriver) << "round " << round;
        EXPECT_NE(a, b);
        EXPECT_EQ(kClient[32], 0u);
    }
}

}  // namespace
