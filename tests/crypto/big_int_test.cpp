#include "crypto/big_int.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/vectors.h"

namespace {

BigInt Int(int32_t v) {
    BigInt b;
    b.SetInt(v);
    return b;
}

BigInt FromWords(std::vector<uint32_t> w) {
    BigInt b;
    EXPECT_TRUE(b.SetWords(w.data(), static_cast<uint32_t>(w.size())));
    return b;
}

std::vector<uint32_t> InUse(const BigInt& b) {
    return {b.words, b.words + b.wordCount};
}

TEST(BigIntBitLength, SmallValuesInOneWord) {
    const struct {
        int32_t value;
        int32_t bitLength;
        uint32_t wordsNeeded;
    } cases[] = {{0, 0, 0},   {1, 1, 1},   {3, 2, 1},   {0x7FFFFFFF, 31, 1}, {-1, -1, 1},
                 {-2, -2, 1}, {-3, -3, 1}, {-4, -3, 1}, {-5, -4, 1},         {INT32_MIN, -32, 1}};
    for (const auto& c : cases) {
        const BigInt b = Int(c.value);
        EXPECT_EQ(b.wordCount, 1u) << c.value;
        EXPECT_EQ(b.bitLength, c.bitLength) << c.value;
        EXPECT_EQ(b.WordsNeeded(), c.wordsNeeded) << c.value;
    }
}

TEST(BigIntBitLength, TopBitOfAWordNeedsAFurtherWord) {
    const BigInt twoTo31 = FromWords({0x80000000u, 0});
    EXPECT_EQ(twoTo31.bitLength, 32);
    EXPECT_EQ(twoTo31.WordsNeeded(), 2u);
    const BigInt minusTwoTo32 = FromWords({0, 0xFFFFFFFFu});
    EXPECT_EQ(minusTwoTo32.bitLength, -33);
    EXPECT_EQ(minusTwoTo32.WordsNeeded(), 2u);
    // Unused top words do not count.
    const BigInt paddedOne = FromWords({1, 0, 0, 0});
    EXPECT_EQ(paddedOne.bitLength, 1);
    EXPECT_EQ(paddedOne.wordCount, 4u);
    EXPECT_EQ(paddedOne.WordsNeeded(), 1u);
}

TEST(BigIntNegate, MostNegativeOneWordValueGrowsToTwoWords) {
    BigInt b = Int(INT32_MIN);
    b.Negate();
    EXPECT_EQ(InUse(b), (std::vector<uint32_t>{0x80000000u, 0}));
    EXPECT_EQ(b.bitLength, 32);
    b.Negate();
    EXPECT_EQ(Compare(b, Int(INT32_MIN)), 0);
    BigInt zero = Int(0);
    zero.Negate();
    EXPECT_EQ(zero.bitLength, 0);
}

TEST(BigIntAdd, WordCountsFollowTheWordsNeeded) {
    BigInt out;
    Add(FromWords({0xFFFFFFFFu, 0}), Int(1), out);
    EXPECT_EQ(InUse(out), (std::vector<uint32_t>{0, 1, 0}));
    EXPECT_EQ(out.bitLength, 33);

    Add(Int(INT32_MIN), Int(INT32_MIN), out);
    EXPECT_EQ(InUse(out), (std::vector<uint32_t>{0, 0xFFFFFFFFu}));
    EXPECT_EQ(out.bitLength, -33);

    Subtract(Int(1), Int(2), out);
    EXPECT_EQ(InUse(out), (std::vector<uint32_t>{0xFFFFFFFFu}));
    EXPECT_EQ(out.bitLength, -1);
}

TEST(BigIntAdd, OutputMayBeAnInput) {
    BigInt a = FromWords({0xFFFFFFFFu, 0x7FFFFFFFu});
    Add(a, a, a);
    EXPECT_EQ(InUse(a), (std::vector<uint32_t>{0xFFFFFFFEu, 0xFFFFFFFFu, 0}));
    BigInt b = Int(5);
    Subtract(Int(3), b, b);
    EXPECT_EQ(Compare(b, Int(-2)), 0);
}

TEST(BigIntCompare, OrdersAcrossSignsAndSizes) {
    EXPECT_EQ(Compare(Int(0), FromWords({0, 0, 0})), 0);
    EXPECT_EQ(Compare(Int(-1), FromWords({0xFFFFFFFFu, 0xFFFFFFFFu})), 0);
    const std::vector<BigInt> ascending = {FromWords({0, 0x80000000u}),
                                           Int(INT32_MIN),
                                           Int(-5),
                                           Int(-4),
                                           Int(-3),
                                           Int(-1),
                                           Int(0),
                                           Int(1),
                                           Int(0x7FFFFFFF),
                                           FromWords({0x80000000u, 0}),
                                           FromWords({0, 1})};
    for (size_t i = 0; i < ascending.size(); ++i) {
        for (size_t j = 0; j < ascending.size(); ++j) {
            const int32_t c = Compare(ascending[i], ascending[j]);
            EXPECT_EQ(c < 0, i < j) << i << " " << j;
            EXPECT_EQ(c == 0, i == j) << i << " " << j;
            EXPECT_EQ(ascending[i].IsLess(ascending[j]), i < j);
            EXPECT_EQ(ascending[i].IsGreater(ascending[j]), i > j);
        }
    }
}

TEST(BigIntShift, ShiftLeftBitKeepsBitLengthAheadOfTheWords) {
    BigInt b = Int(0x40000000);
    b.ShiftLeftBit();
    // Bit 31 of the top word is set, yet the value stays positive by its bitLength.
    EXPECT_EQ(InUse(b), (std::vector<uint32_t>{0x80000000u}));
    EXPECT_EQ(b.bitLength, 32);
    EXPECT_EQ(b.WordAt(5), 0u);
    b.ShiftLeftBit();
    EXPECT_EQ(InUse(b), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(b.bitLength, 33);

    BigInt m = Int(-3);
    m.ShiftLeftBit();
    EXPECT_EQ(Compare(m, Int(-6)), 0);
}

TEST(BigIntShift, ShiftLeftWords) {
    BigInt b = Int(-7);
    b.ShiftLeftWords(2);
    EXPECT_EQ(InUse(b), (std::vector<uint32_t>{0, 0, 0xFFFFFFF9u}));
    EXPECT_EQ(b.bitLength, -4 - 64);
    BigInt z = Int(0);
    z.ShiftLeftWords(3);
    EXPECT_EQ(z.bitLength, 0);
}

TEST(BigIntMultiply, SignsAndAliasing) {
    BigInt out;
    Multiply(Int(-3), Int(5), out);
    EXPECT_EQ(Compare(out, Int(-15)), 0);
    Multiply(Int(-3), Int(-5), out);
    EXPECT_EQ(Compare(out, Int(15)), 0);
    Multiply(Int(0), Int(-5), out);
    EXPECT_EQ(InUse(out), (std::vector<uint32_t>{0}));
    BigInt a = FromWords({0xFFFFFFFFu, 0xFFFFFFFFu, 0});
    Multiply(a, a, a);
    ASSERT_GE(a.wordCount, 4u);
    EXPECT_EQ(a.words[0], 1u);
    EXPECT_EQ(a.words[1], 0u);
    EXPECT_EQ(a.words[2], 0xFFFFFFFEu);
    EXPECT_EQ(a.words[3], 0xFFFFFFFFu);
    EXPECT_EQ(a.bitLength, 128);
}

TEST(BigIntMultiply, ProductsBelow2To2048StayWithin66Words) {
    std::vector<uint32_t> big(33, 0xFFFFFFFFu);
    big[32] = 0;
    const BigInt x = FromWords(big);
    BigInt out;
    Multiply(x, x, out);
    EXPECT_LE(out.WordsNeeded(), 66u);
    EXPECT_LE(out.wordCount, 67u);
    EXPECT_EQ(out.bitLength, 2048);
}

TEST(BigIntDivMod, LargerDivisorKeepsTheDividendsWordCount) {
    BigInt q, r;
    DivMod(FromWords({5, 0, 0, 0}), Int(6), q, r);
    EXPECT_EQ(InUse(q), (std::vector<uint32_t>{0}));
    EXPECT_EQ(InUse(r), (std::vector<uint32_t>{5, 0, 0, 0}));
}

TEST(BigIntDivMod, SingleWordDivisorRemainderOf2To31NeedsTwoWords) {
    BigInt q, r;
    DivMod(FromWords({0xFFFFFFFFu, 0}), Int(0x7FFFFFFF) /* d */, q, r);
    EXPECT_EQ(Compare(q, Int(2)), 0);
    EXPECT_EQ(Compare(r, Int(1)), 0);
    DivMod(FromWords({0xFFFFFFFDu, 1, 0}), FromWords({0xFFFFFFFFu, 0}), q, r);
    EXPECT_EQ(Compare(q, Int(1)), 0);
    EXPECT_EQ(InUse(r), (std::vector<uint32_t>{0xFFFFFFFEu, 0}));
}

TEST(BigIntDivMod, TruncatesTowardZeroForNegativeOperands) {
    const struct {
        int32_t a, d, q, r;
    } cases[] = {{7, 2, 3, 1}, {-7, 2, -3, -1}, {7, -2, -3, 1}, {-7, -2, 3, -1}, {-1, 5, 0, -1}};
    for (const auto& c : cases) {
        BigInt q, r;
        DivMod(Int(c.a), Int(c.d), q, r);
        EXPECT_EQ(Compare(q, Int(c.q)), 0) << c.a << "/" << c.d;
        EXPECT_EQ(Compare(r, Int(c.r)), 0) << c.a << "%" << c.d;
    }
}

TEST(BigIntDivMod, OneObjectForBothOutputsReceivesTheQuotient) {
    BigInt both;
    DivMod(Int(17), Int(5), both, both);
    EXPECT_EQ(Compare(both, Int(3)), 0);
    BigInt a = Int(17);
    BigInt q;
    DivMod(a, Int(5), q, a);
    EXPECT_EQ(Compare(a, Int(2)), 0);
    EXPECT_EQ(Compare(q, Int(3)), 0);
}

TEST(BigIntModPower, ExponentZeroGivesOneWhateverTheBaseAndModulus) {
    BigInt out;
    EXPECT_TRUE(ModPower(Int(0), Int(0), Int(1), out));
    EXPECT_EQ(Compare(out, Int(1)), 0);
    EXPECT_TRUE(ModPower(Int(-9), Int(0), Int(7), out));
    EXPECT_EQ(Compare(out, Int(1)), 0);
    EXPECT_TRUE(ModPower(Int(3), Int(-2), Int(7), out));
    EXPECT_EQ(Compare(out, Int(0)), 0);
    EXPECT_TRUE(ModPower(Int(0), Int(5), Int(7), out));
    EXPECT_EQ(Compare(out, Int(0)), 0);
    EXPECT_TRUE(ModPower(Int(3), Int(5), Int(7), out));  // 243 = 34 * 7 + 5
    EXPECT_EQ(Compare(out, Int(5)), 0);
}

TEST(BigIntModPower, NegativeBaseIsRefused) {
    BigInt out = Int(9);
    EXPECT_FALSE(ModPower(Int(-2), Int(3), Int(7), out));
    EXPECT_EQ(out.bitLength, 0);
}

class GroupPowmod : public ::testing::Test {
protected:
    std::vector<uint32_t> p = Modp1024Words();
};

TEST_F(GroupPowmod, NinetySixBitExponentFillsAll33Words) {
    const uint32_t x[4] = {0x9E3779B9u, 0x7F4A7C15u, 0xF39CC060u, 0};
    std::vector<uint32_t> a(33, 0xCCCCCCCCu);
    ASSERT_TRUE(pow2mod(a.data(), 33, x, 4, p.data(), 33));
    EXPECT_EQ(a[32], 0u);
    EXPECT_LT(Compare(FromWords(a), FromWords(p)), 0);
    std::vector<uint32_t> k(33, 0xCCCCCCCCu);
    ASSERT_TRUE(powmod(k.data(), 33, a.data(), 33, x, 4, p.data(), 33));
    EXPECT_EQ(k[32], 0u);
}

TEST_F(GroupPowmod, BaseAboveTheModulusIsReducedFirst) {
    const uint32_t x[4] = {12345, 678, 9, 0};
    std::vector<uint32_t> base(33);
    for (size_t i = 0; i < 33; ++i) {
        base[i] = 0x01234567u * static_cast<uint32_t>(i + 1);
    }
    base[32] = 0x00ABCDEFu;  // above p, yet non-negative
    BigInt residue, q;
    DivMod(FromWords(base), FromWords(p), q, residue);
    std::vector<uint32_t> residueWords(33, 0);
    ASSERT_TRUE(residue.CopyOut(residueWords.data(), 33));

    std::vector<uint32_t> direct(33, 0), reduced(33, 0);
    ASSERT_TRUE(powmod(direct.data(), 33, base.data(), 33, x, 4, p.data(), 33));
    ASSERT_TRUE(powmod(reduced.data(), 33, residueWords.data(), 33, x, 4, p.data(), 33));
    EXPECT_EQ(direct, reduced);
}

TEST_F(GroupPowmod, ExponentTwoTo13LeavesA34WordResultThatDoesNotFit) {
    const uint32_t e[1] = {1u << 13};
    std::vector<uint32_t> out(34, 0xCCCCCCCCu);
    EXPECT_FALSE(pow2mod(out.data(), 33, e, 1, p.data(), 33));
    EXPECT_EQ(out[0], 0xCCCCCCCCu) << "nothing is written on failure";
    // With room for 34 words the same value is delivered, its top words zero.
    EXPECT_TRUE(pow2mod(out.data(), 34, e, 1, p.data(), 33));
    EXPECT_EQ(out[33], 0u);
}

TEST_F(GroupPowmod, WordsBeyondTheResultAreLeftAsTheyWere) {
    // 2^10 is below p, so the result keeps the word count of its last product.
    BigInt inUse;
    ASSERT_TRUE(ModPower(Int(2), Int(10), FromWords(p), inUse));
    ASSERT_LT(inUse.wordCount, 33u);
    const uint32_t e[1] = {10};
    std::vector<uint32_t> out(33, 0xCCCCCCCCu);
    ASSERT_TRUE(pow2mod(out.data(), 33, e, 1, p.data(), 33));
    EXPECT_EQ(out[0], 1024u);
    for (uint32_t i = 1; i < 33; ++i) {
        EXPECT_EQ(out[i], i < inUse.wordCount ? 0u : 0xCCCCCCCCu) << "word " << i;
    }
}

TEST_F(GroupPowmod, RefusesNullArraysOversizedCountsAndNegativeBases) {
    const uint32_t x[4] = {5, 0, 0, 0};
    std::vector<uint32_t> out(33, 0);
    std::vector<uint32_t> big(68, 1);
    std::vector<uint32_t> negative(33, 0);
    negative[32] = 0x80000000u;
    EXPECT_FALSE(powmod(nullptr, 33, p.data(), 33, x, 4, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, nullptr, 33, x, 4, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, p.data(), 33, nullptr, 4, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, p.data(), 33, x, 4, nullptr, 33));
    EXPECT_FALSE(pow2mod(out.data(), 33, nullptr, 4, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, big.data(), 68, x, 4, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, p.data(), 33, big.data(), 68, p.data(), 33));
    EXPECT_FALSE(powmod(out.data(), 33, p.data(), 33, x, 4, big.data(), 68));
    EXPECT_FALSE(powmod(out.data(), 33, negative.data(), 33, x, 4, p.data(), 33));
    EXPECT_TRUE(powmod(out.data(), 33, big.data(), 67, x, 4, p.data(), 33));
}

}  // namespace
