// BigInt and powmod checked against libgmp on random operands of every size up to 33 words.
#include <gmp.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/big_int.h"
#include "tests/support/vectors.h"

namespace {

struct Mpz {
    mpz_t v;
    Mpz() { mpz_init(v); }
    ~Mpz() { mpz_clear(v); }
    Mpz(const Mpz&) = delete;
    Mpz& operator=(const Mpz&) = delete;
    std::string Hex() const {
        char* s = mpz_get_str(nullptr, 16, v);
        std::string out(s);
        void (*release)(void*, size_t);
        mp_get_memory_functions(nullptr, nullptr, &release);
        release(s, out.size() + 1);
        return out;
    }
};

// The value of b: its words in use read as two's complement.
void ToMpz(const BigInt& b, Mpz& out) {
    mpz_import(out.v, b.wordCount, -1, sizeof(uint32_t), 0, 0, b.words);
    if (b.words[b.wordCount - 1] & 0x80000000u) {
        Mpz wrap;
        mpz_ui_pow_ui(wrap.v, 2, 32 * b.wordCount);
        mpz_sub(out.v, out.v, wrap.v);
    }
}

// The invariants every result keeps: a word count in range and a bitLength that matches the
// words.
void ExpectWellFormed(const BigInt& b, const std::string& what) {
    ASSERT_GE(b.wordCount, 1u) << what;
    ASSERT_LE(b.wordCount, kBigIntCapacity) << what;
    BigInt copy;
    copy.Assign(b);
    copy.UpdateBitLength();
    EXPECT_EQ(copy.bitLength, b.bitLength) << what;
    Mpz m;
    ToMpz(b, m);
    if (mpz_sgn(m.v) >= 0) {
        EXPECT_EQ(b.bitLength, mpz_sgn(m.v) ? static_cast<int32_t>(mpz_sizeinbase(m.v, 2)) : 0)
            << what;
    }
}

class Operands {
public:
    explicit Operands(uint32_t seed) : rng_(seed) {}

    // A value of n words whose magnitude needs at most n words, drawn so that runs of zero and
    // all-one words and single set bits are common.
    BigInt Value(uint32_t n, bool allowNegative) {
        std::vector<uint32_t> w(n);
        const uint32_t shape = rng_() % 4;
        for (auto& x : w) {
            const uint32_t pick = rng_() % 8;
            x = shape == 0 && pick < 3 ? 0 : shape == 1 && pick < 3 ? 0xFFFFFFFFu : rng_();
        }
        if (shape == 2) {
            std::fill(w.begin(), w.end(), 0);
            w[rng_() % n] = 1u << (rng_() % 32);
        }
        w[n - 1] &= 0x7FFFFFFFu;
        BigInt b;
        b.SetWords(w.data(), n);
        if (allowNegative && (rng_() & 1)) {
            b.Negate();
        }
        return b;
    }

    uint32_t Size(uint32_t max) { return 1 + rng_() % max; }

private:
    std::mt19937 rng_;
};

TEST(BigIntVersusGmp, AddSubtractMultiplyCompare) {
    Operands gen(2024);
    for (uint32_t na = 1; na <= 33; ++na) {
        for (int i = 0; i < 60; ++i) {
            const BigInt a = gen.Value(na, true);
            const BigInt b = gen.Value(gen.Size(33), true);
            Mpz ma, mb, expected, got;
            ToMpz(a, ma);
            ToMpz(b, mb);
            const std::string what = ma.Hex() + " , " + mb.Hex();

            BigInt sum, difference, product;
            Add(a, b, sum);
            mpz_add(expected.v, ma.v, mb.v);
            ToMpz(sum, got);
            ASSERT_EQ(mpz_cmp(got.v, expected.v), 0) << "add " << what;
            ExpectWellFormed(sum, "add " + what);

            Subtract(a, b, difference);
            mpz_sub(expected.v, ma.v, mb.v);
            ToMpz(difference, got);
            ASSERT_EQ(mpz_cmp(got.v, expected.v), 0) << "subtract " << what;
            ExpectWellFormed(difference, "subtract " + what);

            Multiply(a, b, product);
            mpz_mul(expected.v, ma.v, mb.v);
            ToMpz(product, got);
            ASSERT_EQ(mpz_cmp(got.v, expected.v), 0) << "multiply " << what;
            ExpectWellFormed(product, "multiply " + what);

            const int32_t ours = Compare(a, b);
            const int theirs = mpz_cmp(ma.v, mb.v);
            ASSERT_EQ((ours > 0) - (ours < 0), (theirs > 0) - (theirs < 0)) << "compare " << what;
        }
    }
}

TEST(BigIntVersusGmp, DivModTruncates) {
    Operands gen(77);
    for (uint32_t na = 1; na <= 33; ++na) {
        for (int i = 0; i < 25; ++i) {
            const BigInt a = gen.Value(na, true);
            BigInt d = gen.Value(gen.Size(na), true);
            if (d.bitLength == 0) {
                d.SetInt(3);
            }
            Mpz ma, md, eq, er, q, r;
            ToMpz(a, ma);
            ToMpz(d, md);
            mpz_tdiv_qr(eq.v, er.v, ma.v, md.v);
            BigInt quotient, remainder;
            DivMod(a, d, quotient, remainder);
            ToMpz(quotient, q);
            ToMpz(remainder, r);
            const std::string what = ma.Hex() + " / " + md.Hex();
            ASSERT_EQ(mpz_cmp(q.v, eq.v), 0) << "quotient " << what << " got " << q.Hex();
            ASSERT_EQ(mpz_cmp(r.v, er.v), 0) << "remainder " << what << " got " << r.Hex();
            ExpectWellFormed(quotient, "quotient " + what);
            ExpectWellFormed(remainder, "remainder " + what);
        }
    }
}

TEST(BigIntVersusGmp, ModPowerOfNonNegativeBases) {
    Operands gen(5);
    for (uint32_t nm = 1; nm <= 33; ++nm) {
        for (int i = 0; i < 4; ++i) {
            const BigInt b = gen.Value(gen.Size(33), false);
            const BigInt e = gen.Value(gen.Size(3), false);
            BigInt m = gen.Value(nm, true);
            if (m.bitLength == 0) {
                m.SetInt(7);
            }
            Mpz mb, me, mm, expected, got;
            ToMpz(b, mb);
            ToMpz(e, me);
            ToMpz(m, mm);
            mpz_powm(expected.v, mb.v, me.v, mm.v);
            BigInt out;
            ASSERT_TRUE(ModPower(b, e, m, out));
            ToMpz(out, got);
            const std::string what = mb.Hex() + " ^ " + me.Hex() + " mod " + mm.Hex();
            if (e.bitLength == 0) {
                mpz_set_ui(expected.v, 1);
            }
            ASSERT_EQ(mpz_cmp(got.v, expected.v), 0) << what;
            ExpectWellFormed(out, what);
        }
    }
}

TEST(BigIntVersusGmp, PowmodArrayFormOverTheGroupAndRandomModuli) {
    std::mt19937 rng(31337);
    std::vector<uint32_t> p = Modp1024Words();
    for (int i = 0; i < 40; ++i) {
        const uint32_t nm = i < 20 ? 33 : 1 + rng() % 33;
        std::vector<uint32_t> mod = i < 20 ? p : std::vector<uint32_t>(nm);
        if (i >= 20) {
            for (auto& w : mod) {
                w = rng();
            }
            mod[nm - 1] &= 0x7FFFFFFFu;
            mod[0] |= 1;
        }
        const uint32_t nb = 1 + rng() % 33;
        std::vector<uint32_t> base(nb), exp(4, 0);
        for (auto& w : base) {
            w = rng();
        }
        base[nb - 1] &= 0x7FFFFFFFu;
        for (int k = 0; k < 3; ++k) {
            exp[k] = rng();
        }
        std::vector<uint32_t> out(33, 0);
        ASSERT_TRUE(powmod(out.data(), 33, base.data(), nb, exp.data(), 4, mod.data(), nm));

        Mpz mb, me, mm, expected, got;
        mpz_import(mb.v, nb, -1, 4, 0, 0, base.data());
        mpz_import(me.v, 4, -1, 4, 0, 0, exp.data());
        mpz_import(mm.v, nm, -1, 4, 0, 0, mod.data());
        mpz_powm(expected.v, mb.v, me.v, mm.v);
        mpz_import(got.v, 33, -1, 4, 0, 0, out.data());
        ASSERT_EQ(mpz_cmp(got.v, expected.v), 0) << "case " << i;
    }
}

}  // namespace
