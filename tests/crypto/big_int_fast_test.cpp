// The word-level DivMod and ModPower against the bit-by-bit reference: the same value,
// wordCount and bitLength for every output, the same exceptions, the same aliasing rules.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "crypto/big_int.h"
#include "platform/win32.h"
#include "tests/crypto/reference_big_int.h"
#include "tests/support/vectors.h"

namespace {

std::string Describe(const BigInt& v) {
    std::ostringstream out;
    out << "wordCount " << v.wordCount << ", bitLength " << v.bitLength << ", words";
    for (uint32_t i = v.wordCount; i-- > 0;) {
        out << ' ' << std::hex << v.words[i];
    }
    return out.str();
}

// Equal as a caller can see them: count, bitLength and the words in use.
::testing::AssertionResult Same(const BigInt& fast, const BigInt& reference) {
    bool same = fast.wordCount == reference.wordCount && fast.bitLength == reference.bitLength;
    for (uint32_t i = 0; same && i < fast.wordCount; ++i) {
        same = fast.words[i] == reference.words[i];
    }
    if (same) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "\n  fast:      " << Describe(fast) << "\n  reference: " << Describe(reference);
}

BigInt FromWords(const std::vector<uint32_t>& words) {
    BigInt v;
    v.SetWords(words.data(), static_cast<uint32_t>(words.size()));
    return v;
}

BigInt GroupPrime() {
    return FromWords(Modp1024Words());
}

class Values {
public:
    explicit Values(uint32_t seed) : rng_(seed) {}
    // A non-negative value of exactly `bits` binary digits in `words` words (spare top words
    // zero); bits = 0 gives zero.
    BigInt OfBits(uint32_t bits, uint32_t words) {
        std::vector<uint32_t> w(words, 0);
        for (uint32_t i = 0; i < (bits + 31) / 32; ++i) {
            w[i] = static_cast<uint32_t>(rng_());
        }
        if (bits > 0) {
            const uint32_t top = (bits - 1) / 32;
            const uint32_t shift = (bits - 1) % 32;
            w[top] &= shift == 31 ? 0xFFFFFFFFu : (2u << shift) - 1;
            w[top] |= 1u << shift;
        }
        return FromWords(w);
    }
    // Digits enough to need exactly `needed` words, in that many words.
    BigInt Needing(uint32_t needed) {
        const uint32_t bits = 32 * (needed - 1) + static_cast<uint32_t>(rng_() % 31) + 1;
        return OfBits(bits, needed);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

private:
    std::mt19937 rng_;
};

BigInt Plus(const BigInt& a, int32_t k) {
    BigInt small, out;
    small.SetInt(k);
    Add(a, small, out);
    return out;
}

BigInt Times(const BigInt& a, const BigInt& b) {
    BigInt out;
    Multiply(a, b, out);
    return out;
}

// Which exception a call raised: none, the capacity error or the division by zero.
enum class Raised { kNothing, kCapacity, kDivideByZero };

template <typename Call>
Raised RaisedBy(Call call) {
    try {
        call();
    } catch (const HostIntOverflowException&) {
        return Raised::kCapacity;
    } catch (const HostIntDivideByZeroException&) {
        return Raised::kDivideByZero;
    }
    return Raised::kNothing;
}

// Compares one division, and the reference's exception with the fast one's.
void ExpectDivModMatches(const BigInt& a, const BigInt& d, const std::string& what) {
    SCOPED_TRACE(what + "\n  a: " + Describe(a) + "\n  d: " + Describe(d));
    BigInt q, r, refQ, refR;
    const Raised raised = RaisedBy([&] { DivMod(a, d, q, r); });
    const Raised refRaised = RaisedBy([&] { ReferenceDivMod(a, d, refQ, refR); });
    ASSERT_EQ(raised, refRaised);
    if (raised == Raised::kNothing) {
        EXPECT_TRUE(Same(q, refQ)) << "quotient";
        EXPECT_TRUE(Same(r, refR)) << "remainder";
    }
}

void ExpectModPowerMatches(const BigInt& b, const BigInt& e, const BigInt& m,
                           const std::string& what) {
    SCOPED_TRACE(what + "\n  b: " + Describe(b) + "\n  e: " + Describe(e) +
                 "\n  m: " + Describe(m));
    BigInt out, refOut;
    const bool ok = ModPower(b, e, m, out);
    const bool refOk = ReferenceModPower(b, e, m, refOut);
    EXPECT_EQ(ok, refOk);
    EXPECT_TRUE(Same(out, refOut));
}

TEST(FastDivMod, RandomDivisionsOf2048By1024Bits) {
    Values v(1);
    for (int i = 0; i < 300; ++i) {
        const BigInt a = v.OfBits(2048 - v.Below(3), 65);
        const BigInt d = v.OfBits(1024 - v.Below(3), 33);
        ExpectDivModMatches(a, d, "case " + std::to_string(i));
    }
}

TEST(FastDivMod, ByTheGroupPrimeAnd1023And1024BitModuli) {
    Values v(2);
    const BigInt p = GroupPrime();
    for (int i = 0; i < 100; ++i) {
        const uint32_t bits = 1025 + v.Below(1024);
        ExpectDivModMatches(v.OfBits(bits, 66), p, "group prime, case " + std::to_string(i));
        ExpectDivModMatches(v.OfBits(bits, 66), v.OfBits(1023, 32), "1023 bits");
        ExpectDivModMatches(v.OfBits(bits, 66), v.OfBits(1024, 33), "1024 bits");
    }
}

TEST(FastDivMod, DividendsNearTheDivisor) {
    Values v(3);
    for (uint32_t bits : {33u, 63u, 64u, 65u, 95u, 96u, 1023u, 1024u, 1055u, 2047u}) {
        const BigInt d = v.OfBits(bits, bits / 32 + 1);
        BigInt twice;
        Add(d, d, twice);
        const std::string name = std::to_string(bits) + "-bit divisor";
        ExpectDivModMatches(Plus(d, -1), d, name + ", d - 1");
        ExpectDivModMatches(d, d, name + ", d");
        ExpectDivModMatches(Plus(d, 1), d, name + ", d + 1");
        ExpectDivModMatches(Plus(twice, -1), d, name + ", 2d - 1");
        ExpectDivModMatches(twice, d, name + ", 2d");
    }
}

TEST(FastDivMod, ZeroRemaindersAndPowersOfTwo) {
    Values v(4);
    for (int i = 0; i < 60; ++i) {
        const BigInt d = v.Needing(2 + v.Below(32));
        const BigInt k = v.Needing(1 + v.Below(32));
        ExpectDivModMatches(Times(d, k), d, "d times k, case " + std::to_string(i));
    }
    for (uint32_t dividendBits : {34u, 64u, 65u, 97u, 1024u, 1025u, 2048u}) {
        for (uint32_t divisorBits : {33u, 34u, 64u, 65u, 1024u}) {
            if (divisorBits > dividendBits) {
                continue;
            }
            BigInt a, d;
            a.SetInt(1);
            d.SetInt(1);
            for (uint32_t s = 1; s < dividendBits; ++s) {
                a.ShiftLeftBit();
            }
            for (uint32_t s = 1; s < divisorBits; ++s) {
                d.ShiftLeftBit();
            }
            a.UpdateBitLength();
            d.UpdateBitLength();
            const std::string name =
                "2^" + std::to_string(dividendBits - 1) + " / 2^" + std::to_string(divisorBits - 1);
            ExpectDivModMatches(a, d, name);
            ExpectDivModMatches(Plus(a, -1), d, name + ", less one");
            ExpectDivModMatches(a, Plus(d, -1), name + ", divisor less one");
        }
    }
}

TEST(FastDivMod, DivisorTopWordBitsAndSpareWords) {
    Values v(5);
    for (int i = 0; i < 100; ++i) {
        const uint32_t words = 2 + v.Below(32);
        // Top digit at bit 31 (needs a further word) or at bit 30 of its word.
        const uint32_t bits = 32 * words - v.Below(2);
        const BigInt d = v.OfBits(bits, words + 1 + v.Below(3));
        const BigInt a = v.OfBits(bits + v.Below(1000), 66);
        ExpectDivModMatches(a, d, "top bit case " + std::to_string(i));
    }
    // A value that keeps zero words above what it needs divides as the short one does.
    const BigInt a = v.OfBits(1500, 60);
    const BigInt d = v.OfBits(700, 40);
    ExpectDivModMatches(a, d, "spare words on both");
}

TEST(FastDivMod, EverySizeUpTo65WordsAndBothSigns) {
    Values v(6);
    for (uint32_t nd = 2; nd <= 65; ++nd) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t na = nd + v.Below(66 - nd);
            BigInt a = v.Needing(na);
            BigInt d = v.Needing(nd);
            ExpectDivModMatches(a, d, "sizes " + std::to_string(na) + "/" + std::to_string(nd));
            if (k == 0) {
                BigInt negA, negD;
                negA.Assign(a);
                negA.Negate();
                negD.Assign(d);
                negD.Negate();
                ExpectDivModMatches(negA, d, "negative dividend");
                ExpectDivModMatches(a, negD, "negative divisor");
                ExpectDivModMatches(negA, negD, "both negative");
            }
        }
    }
}

TEST(FastDivMod, OperandsNeeding66Or67WordsKeepTheCapacityErrorsOfTheReference) {
    Values v(7);
    for (uint32_t na : {65u, 66u, 67u}) {
        for (uint32_t nd : {2u, 33u, 64u, 65u, 66u, 67u}) {
            if (nd > na) {
                continue;
            }
            for (int k = 0; k < 3; ++k) {
                ExpectDivModMatches(v.Needing(na), v.Needing(nd),
                                    "sizes " + std::to_string(na) + "/" + std::to_string(nd));
            }
        }
    }
    // A divisor whose remainder would need a 68th word: the reference raises.
    for (int k = 0; k < 4; ++k) {
        ExpectDivModMatches(v.OfBits(32 * 66, 67), v.OfBits(32 * 66 - 1, 67),
                            "remainder reaching 2112 bits");
    }
}

TEST(FastDivMod, AliasedOutputs) {
    Values v(8);
    const BigInt a = v.OfBits(2000, 64);
    const BigInt d = v.OfBits(900, 30);
    BigInt refQ, refR;
    ReferenceDivMod(a, d, refQ, refR);

    BigInt one = a;
    DivMod(one, d, one, one);  // one object as both outputs receives the quotient
    EXPECT_TRUE(Same(one, refQ));

    BigInt q = a, r;
    DivMod(q, d, q, r);
    EXPECT_TRUE(Same(q, refQ));
    EXPECT_TRUE(Same(r, refR));

    BigInt dd = d, q2;
    DivMod(a, dd, q2, dd);
    EXPECT_TRUE(Same(q2, refQ));
    EXPECT_TRUE(Same(dd, refR));
}

TEST(FastModPower, GroupPrimeWith96BitAndFullExponents) {
    Values v(9);
    const BigInt p = GroupPrime();
    BigInt two;
    two.SetInt(2);
    for (int i = 0; i < 12; ++i) {
        const BigInt e96 = v.OfBits(96 - v.Below(4), 4);
        ExpectModPowerMatches(two, e96, p, "2^e, 96 bits");
        const BigInt base = v.OfBits(1 + v.Below(1024), 33);
        ExpectModPowerMatches(base, e96, p, "b^e, 96 bits");
    }
    ExpectModPowerMatches(v.OfBits(1020, 33), v.OfBits(1024, 33), p, "full-size exponent");
    ExpectModPowerMatches(v.OfBits(1000, 33), v.OfBits(1056, 34), p, "exponent above p");
}

TEST(FastModPower, BasesAboveTheModulusAndAtItsMultiples) {
    Values v(10);
    const BigInt p = GroupPrime();
    const BigInt e = v.OfBits(96, 4);
    ExpectModPowerMatches(v.OfBits(1055, 33), e, p, "33-word base below 2^1055");
    ExpectModPowerMatches(v.OfBits(2000, 67), e, p, "67-word base");
    ExpectModPowerMatches(p, e, p, "base p");
    BigInt three;
    three.SetInt(3);
    ExpectModPowerMatches(Times(p, three), e, p, "base 3p");
    ExpectModPowerMatches(Plus(p, 1), e, p, "base p + 1");
    ExpectModPowerMatches(Plus(p, -1), e, p, "base p - 1");
}

TEST(FastModPower, ExponentShapesAndTheCopyOutRule) {
    Values v(11);
    const BigInt p = GroupPrime();
    BigInt two, e;
    two.SetInt(2);
    for (uint32_t k : {0u, 1u, 2u, 5u, 10u, 13u, 31u, 32u, 95u}) {
        e.SetInt(1);
        for (uint32_t s = 0; s < k; ++s) {
            e.ShiftLeftBit();
        }
        e.UpdateBitLength();
        ExpectModPowerMatches(two, e, p, "2^(2^" + std::to_string(k) + ")");
        ExpectModPowerMatches(v.OfBits(1000, 33), e, p, "b^(2^" + std::to_string(k) + ")");
    }
    // 2^(2^13): the lone set bit multiplies 1 by a 1024-bit square (34 words in use).
    uint32_t out[33] = {};
    const uint32_t exponent[1] = {1u << 13};
    const std::vector<uint32_t> prime = Modp1024Words();
    EXPECT_FALSE(pow2mod(out, 33, exponent, 1, prime.data(), 33));
    uint32_t wide[34] = {};
    EXPECT_TRUE(pow2mod(wide, 34, exponent, 1, prime.data(), 33));
}

TEST(FastModPower, RandomModuliOfEverySize) {
    Values v(12);
    for (uint32_t nm = 2; nm <= 33; ++nm) {
        for (int k = 0; k < 4; ++k) {
            BigInt m = v.Needing(nm);
            if (k == 1) {
                m.words[0] &= ~1u;  // even moduli too
                m.UpdateBitLength();
            }
            const BigInt b = v.Needing(1 + v.Below(nm + 1));
            const BigInt e = v.Needing(1 + v.Below(4));
            ExpectModPowerMatches(b, e, m, "modulus of " + std::to_string(nm) + " words");
        }
    }
    // Moduli of 1023 and 1024 bits, whose remainders hold 32 or 33 words.
    for (uint32_t bits : {1023u, 1024u, 1055u}) {
        for (int k = 0; k < 6; ++k) {
            ExpectModPowerMatches(v.OfBits(bits - 3, 33), v.OfBits(64, 2), v.OfBits(bits, 33),
                                  std::to_string(bits) + "-bit modulus");
        }
    }
}

TEST(FastModPower, SmallOperandsAndAliasedOutputs) {
    Values v(13);
    const BigInt p = GroupPrime();
    BigInt one, five;
    one.SetInt(1);
    five.SetInt(5);
    ExpectModPowerMatches(five, one, p, "exponent 1");
    ExpectModPowerMatches(one, v.OfBits(96, 4), p, "base 1");
    ExpectModPowerMatches(five, v.OfBits(96, 4), v.OfBits(33, 2), "33-bit modulus");

    const BigInt b = v.OfBits(1000, 33);
    const BigInt e = v.OfBits(96, 4);
    BigInt expected;
    ReferenceModPower(b, e, p, expected);
    BigInt asBase = b;
    ModPower(asBase, e, p, asBase);
    EXPECT_TRUE(Same(asBase, expected));
    BigInt asExponent = e;
    ModPower(b, asExponent, p, asExponent);
    EXPECT_TRUE(Same(asExponent, expected));
    BigInt asModulus = p;
    ModPower(b, e, asModulus, asModulus);
    EXPECT_TRUE(Same(asModulus, expected));
}

}  // namespace
