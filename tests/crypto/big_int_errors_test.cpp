#include <gtest/gtest.h>

#include "crypto/big_int.h"
#include "platform/win32.h"

namespace {

TEST(BigIntErrors, WordCountAboveCapacityRaisesTheOverflowException) {
    BigInt b;
    b.SetInt(1);
    EXPECT_THROW(b.Resize(68), HostIntOverflowException);
    EXPECT_THROW(b.PrepareZero(68), HostIntOverflowException);
    b.Resize(67);
    b.words[66] = 0x40000000u;
    b.UpdateBitLength();
    b.ShiftLeftBit();  // bit 31 of word 66: no word is added yet
    EXPECT_EQ(b.wordCount, 67u);
    const BigInt before = b;
    try {
        b.ShiftLeftBit();
        FAIL() << "no exception";
    } catch (const HostIntOverflowException& e) {
        EXPECT_EQ(e.code, EXCEPTION_INT_OVERFLOW);
        EXPECT_EQ(e.flags, EXCEPTION_NONCONTINUABLE);
    }
    // The refused shift produced nothing: the value is as it was.
    EXPECT_EQ(b.wordCount, before.wordCount);
    EXPECT_EQ(b.bitLength, before.bitLength);
    for (uint32_t i = 0; i < b.wordCount; ++i) {
        EXPECT_EQ(b.words[i], before.words[i]) << "word " << i;
    }
}

TEST(BigIntErrors, DivisionByZeroRaisesItsOwnContinuableException) {
    BigInt a, zero, q, r;
    a.SetInt(5);
    zero.SetInt(0);
    try {
        DivMod(a, zero, q, r);
        FAIL() << "no exception";
    } catch (const HostIntDivideByZeroException& e) {
        EXPECT_EQ(e.code, EXCEPTION_INT_DIVIDE_BY_ZERO);
        EXPECT_EQ(e.flags, 0u);
    }
    // A zero modulus is a division by zero too, unless the exponent is 0.
    BigInt out;
    EXPECT_THROW(ModPower(a, a, zero, out), HostIntDivideByZeroException);
    EXPECT_TRUE(ModPower(a, zero, zero, out));
}

TEST(BigIntErrors, TheTwoExceptionTypesAreDistinct) {
    BigInt b;
    EXPECT_THROW(
        {
            try {
                b.Resize(100);
            } catch (const HostIntDivideByZeroException&) {
                FAIL() << "caught as a division by zero";
            }
        },
        HostIntOverflowException);
}

}  // namespace
