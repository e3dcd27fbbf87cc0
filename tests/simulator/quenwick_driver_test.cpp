// The simulated driver's side of the key exchange, asked directly.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/big_int.h"
#include "driver_client/group_prime.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/wire_records.h"
#include "platform/win32.h"
#include "simulator/quenwick_driver.h"

using namespace MiscCommon;

namespace {

std::vector<uint8_t> Ini1(const uint32_t* exponent) {
    Ini1Request request = {};
    request.tag = kTagIni1;
    EXPECT_TRUE(pow2mod(request.A, kBigNumberWords, exponent, 4, kGroupPrime, kBigNumberWords));
    const auto* p = reinterpret_cast<const uint8_t*>(&request);
    return std::vector<uint8_t>(p, p + sizeof request);
}

BigInt ValueOf(const uint32_t* words) {
    BigInt v;
    v.SetWords(words, kBigNumberWords);
    return v;
}

TEST(DriverPublicValue, LiesStrictlyBetweenOneAndPMinusOneAndChangesEverySession) {
    const uint32_t x[4] = {0x12345678, 0x9ABCDEF0, 0x0F1E2D3C, 0};
    BigInt one, pMinusOne;
    one.SetInt(1);
    Subtract(ValueOf(kGroupPrime), one, pMinusOne);
    for (uint64_t seed = 1; seed <= 48; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        QuenwickSim::Machine machine;
        machine.seed = seed;
        QuenwickSim::CmosMemory cmos(0x03);
        QuenwickSim::MachineState state(machine, cmos);
        QuenwickSim::DriverConnection driver(state);
        uint32_t previous[kBigNumberWords] = {};
        for (int session = 0; session < 2; ++session) {
            const QuenwickSim::Reply reply =
                driver.Handle(IOCTL_MISC_SESSION, Ini1(x), sizeof(Ini1Reply));
            ASSERT_TRUE(reply.result);
            ASSERT_EQ(reply.output.size(), sizeof(Ini1Reply));
            Ini1Reply answer;
            std::memcpy(&answer, reply.output.data(), sizeof answer);
            const BigInt B = ValueOf(answer.B);
            EXPECT_TRUE(B.IsGreater(one) && B.IsLess(pMinusOne));
            EXPECT_EQ(answer.B[32], 0u);
            EXPECT_NE(std::memcmp(answer.B, previous, sizeof previous), 0);
            std::memcpy(previous, answer.B, sizeof previous);
        }
    }
}

TEST(DriverPublicValue, RefusesAClientValueOutsideTheGroup) {
    QuenwickSim::Machine machine;
    machine.seed = 7;
    QuenwickSim::CmosMemory cmos(0x03);
    QuenwickSim::MachineState state(machine, cmos);
    QuenwickSim::DriverConnection driver(state);
    BigInt one, pMinusOne;
    one.SetInt(1);
    Subtract(ValueOf(kGroupPrime), one, pMinusOne);
    uint32_t values[4][kBigNumberWords] = {{0}, {1}, {}, {}};
    pMinusOne.CopyOut(values[2], kBigNumberWords);
    std::memcpy(values[3], kGroupPrime, sizeof values[3]);
    for (const auto& value : values) {
        Ini1Request request = {};
        request.tag = kTagIni1;
        std::memcpy(request.A, value, sizeof request.A);
        const auto* p = reinterpret_cast<const uint8_t*>(&request);
        const QuenwickSim::Reply reply = driver.Handle(
            IOCTL_MISC_SESSION, std::vector<uint8_t>(p, p + sizeof request), sizeof(Ini1Reply));
        EXPECT_FALSE(reply.result) << value[0];
        EXPECT_EQ(reply.lastError, ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(driver.OpenSessions(), 0u);
}

}  // namespace
