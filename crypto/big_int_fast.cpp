// Word-level division and modular exponentiation: the same results as the bit-by-bit
// reference, at a fraction of its cost.
//
// What must stay equal to the reference, for every input these paths accept:
// - Values: q, r and b^e mod m exactly.
// - Quotient: q.wordCount = a.WordsNeeded() (the reference sizes q before setting its bits).
// - Remainder of a division that subtracted (a >= d, d above 32 bits): the reference's r keeps
//   d.WordsNeeded() words while it grows below 2d, and each subtraction resizes it to the
//   words needed by the value it held just before. Its last subtraction is at the lowest set
//   bit t of q, where it held (r >> t) + d; so r.wordCount = WordsNeeded((r >> t) + d), which
//   is d.WordsNeeded() or one more (a 1023-bit modulus can leave a 33-word remainder).
// - ModPower: the result's words in use come from the last reduction, the one for the top bit
//   of e: Multiply(result, sq) and then DivMod by m. A product below m keeps Multiply's own
//   word count: n + 1 (n + 2 when the top carry has bit 31 set) on the single-word path, where
//   n is the long factor's WordsNeeded; max(WordsNeeded(P - z0), WordsNeeded(z0)) + 1 on the
//   split path, where z0 is the product of the low halves the split takes. A product at or
//   above m takes the remainder's count above.
// - Exceptions: none can arise on these paths (operands of at most 65 words, moduli of at
//   most 33); the callers keep the bit-by-bit loop for the rest.
// - No heap and no state: every buffer is an automatic array.
#include "crypto/big_int_fast.h"

namespace BigIntFast {

namespace {

constexpr uint32_t kMaxDivideWords = 65;
constexpr uint32_t kMaxModulusWords = 33;
constexpr uint32_t kBufferWords = kBigIntCapacity + 2;

uint32_t Trim(const uint32_t* w, uint32_t n) {
    while (n > 0 && w[n - 1] == 0) {
        --n;
    }
    return n;
}

uint32_t BitLength(const uint32_t* w, uint32_t n) {
    n = Trim(w, n);
    return n == 0 ? 0 : 32 * n - static_cast<uint32_t>(__builtin_clz(w[n - 1]));
}

// The words a non-negative value of `bits` binary digits needs with its sign bit.
uint32_t WordsFor(uint32_t bits) {
    return bits == 0 ? 0 : bits / 32 + 1;
}

// The value of a non-negative BigInt in n words.
void Load(const BigInt& v, uint32_t n, uint32_t* w) {
    for (uint32_t i = 0; i < n; ++i) {
        w[i] = v.WordAt(i);
    }
}

void Copy(const uint32_t* from, uint32_t n, uint32_t* to) {
    for (uint32_t i = 0; i < n; ++i) {
        to[i] = from[i];
    }
}

// out[0, na + nb) = a * b.
void MultiplyWords(const uint32_t* a, uint32_t na, const uint32_t* b, uint32_t nb, uint32_t* out) {
    for (uint32_t i = 0; i < na + nb; ++i) {
        out[i] = 0;
    }
    for (uint32_t i = 0; i < na; ++i) {
        const uint64_t ai = a[i];
        uint64_t carry = 0;
        for (uint32_t j = 0; j < nb; ++j) {
            const uint64_t t = ai * b[j] + out[i + j] + carry;
            out[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        out[i + nb] = static_cast<uint32_t>(carry);
    }
}

// out[0, 2n) = a * a: each cross product once, doubled, then the squares.
void SquareWords(const uint32_t* a, uint32_t n, uint32_t* out) {
    for (uint32_t i = 0; i < 2 * n; ++i) {
        out[i] = 0;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t ai = a[i];
        uint64_t carry = 0;
        for (uint32_t j = i + 1; j < n; ++j) {
            const uint64_t t = ai * a[j] + out[i + j] + carry;
            out[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        out[i + n] = static_cast<uint32_t>(carry);
    }
    uint32_t high = 0;
    for (uint32_t i = 0; i < 2 * n; ++i) {
        const uint32_t w = out[i];
        out[i] = (w << 1) | high;
        high = w >> 31;
    }
    uint64_t carry = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t square = uint64_t{a[i]} * a[i];
        const uint64_t lo = uint64_t{out[2 * i]} + static_cast<uint32_t>(square) + carry;
        out[2 * i] = static_cast<uint32_t>(lo);
        const uint64_t hi = uint64_t{out[2 * i + 1]} + (square >> 32) + (lo >> 32);
        out[2 * i + 1] = static_cast<uint32_t>(hi);
        carry = hi >> 32;
    }
}

// a[0, n) against b[0, n): negative, zero or positive.
int CompareWords(const uint32_t* a, const uint32_t* b, uint32_t n) {
    while (n > 0 && a[n - 1] == b[n - 1]) {
        --n;
    }
    return n == 0 ? 0 : a[n - 1] < b[n - 1] ? -1 : 1;
}

// out[0, n) = a - b; the caller keeps a >= b.
void SubtractWords(const uint32_t* a, const uint32_t* b, uint32_t n, uint32_t* out) {
    uint64_t borrow = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint64_t t = uint64_t{a[i]} - b[i] - borrow;
        out[i] = static_cast<uint32_t>(t);
        borrow = t >> 63;
    }
}

// Knuth's Algorithm D: q[0, nu - nv + 1) and r[0, nv) of u[0, nu) / v[0, nv), for nu >= nv >= 2
// and v[nv - 1] != 0.
void DivideWords(const uint32_t* u, uint32_t nu, const uint32_t* v, uint32_t nv, uint32_t* q,
                 uint32_t* r) {
    // Normalised so that the divisor's top bit is set; then each estimate of a quotient word is
    // at most two above the true one.
    const int s = __builtin_clz(v[nv - 1]);
    uint32_t vn[kBufferWords];
    uint32_t un[kBufferWords + 1];
    for (uint32_t i = nv - 1; i > 0; --i) {
        vn[i] = (v[i] << s) | (s == 0 ? 0 : v[i - 1] >> (32 - s));
    }
    vn[0] = v[0] << s;
    un[nu] = s == 0 ? 0 : u[nu - 1] >> (32 - s);
    for (uint32_t i = nu - 1; i > 0; --i) {
        un[i] = (u[i] << s) | (s == 0 ? 0 : u[i - 1] >> (32 - s));
    }
    un[0] = u[0] << s;

    const uint64_t top = vn[nv - 1];
    const uint64_t next = vn[nv - 2];
    for (uint32_t j = nu - nv + 1; j-- > 0;) {
        const uint64_t numerator = (uint64_t{un[j + nv]} << 32) | un[j + nv - 1];
        uint64_t qhat = numerator / top;
        uint64_t rhat = numerator % top;
        while ((qhat >> 32) != 0 || qhat * next > ((rhat << 32) | un[j + nv - 2])) {
            --qhat;
            rhat += top;
            if ((rhat >> 32) != 0) {
                break;
            }
        }
        int64_t k = 0;
        int64_t t = 0;
        for (uint32_t i = 0; i < nv; ++i) {
            const uint64_t p = qhat * vn[i];
            t = static_cast<int64_t>(un[i + j]) - k - static_cast<int64_t>(p & 0xFFFFFFFFu);
            un[i + j] = static_cast<uint32_t>(t);
            k = static_cast<int64_t>(p >> 32) - (t >> 32);
        }
        t = static_cast<int64_t>(un[j + nv]) - k;
        un[j + nv] = static_cast<uint32_t>(t);
        if (t < 0) {  // the estimate was one too large: add the divisor back
            --qhat;
            uint64_t carry = 0;
            for (uint32_t i = 0; i < nv; ++i) {
                const uint64_t sum = uint64_t{un[i + j]} + vn[i] + carry;
                un[i + j] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
            un[j + nv] += static_cast<uint32_t>(carry);
        }
        q[j] = static_cast<uint32_t>(qhat);
    }
    for (uint32_t i = 0; i < nv; ++i) {
        r[i] = (un[i] >> s) | (s == 0 ? 0 : un[i + 1] << (32 - s));
    }
}

// The remainder as the shift-and-subtract loop leaves it (see the top of this file): r[0, nd)
// and d[0, nd) significant words, q[0, nq) the non-zero quotient.
void SetRemainder(const uint32_t* r, const uint32_t* d, uint32_t nd, const uint32_t* q, uint32_t nq,
                  BigInt& out) {
    uint32_t t = 0;
    for (uint32_t i = 0; i < nq && q[i] == 0; ++i) {
        t += 32;
    }
    t += static_cast<uint32_t>(__builtin_ctz(q[t / 32]));
    const uint32_t wordShift = t / 32;
    const uint32_t bitShift = t % 32;
    uint32_t held[kBufferWords];
    uint64_t carry = 0;
    for (uint32_t i = 0; i < nd; ++i) {
        const uint32_t lo = i + wordShift < nd ? r[i + wordShift] : 0;
        const uint32_t hi = i + wordShift + 1 < nd ? r[i + wordShift + 1] : 0;
        const uint32_t shifted = bitShift == 0 ? lo : (lo >> bitShift) | (hi << (32 - bitShift));
        const uint64_t sum = uint64_t{shifted} + d[i] + carry;
        held[i] = static_cast<uint32_t>(sum);
        carry = sum >> 32;
    }
    held[nd] = static_cast<uint32_t>(carry);
    out.wordCount = WordsFor(BitLength(held, nd + 1));
    for (uint32_t i = 0; i < out.wordCount; ++i) {
        out.words[i] = i < nd ? r[i] : 0;
    }
    out.UpdateBitLength();
}

// The word count Multiply gives a * b (both non-zero): p is the product, zero-filled to
// kBufferWords.
uint32_t ProductWordCount(const uint32_t* a, uint32_t na, const uint32_t* b, uint32_t nb,
                          const uint32_t* p) {
    const uint32_t bitsA = BitLength(a, na);
    const uint32_t bitsB = BitLength(b, nb);
    if (bitsA <= 32 || bitsB <= 32) {
        const uint32_t n = WordsFor(bitsA <= 32 ? bitsB : bitsA);
        return n + 1 + (p[n] >> 31);
    }
    const bool bIsLonger = WordsFor(bitsB) >= WordsFor(bitsA);
    const uint32_t* x = bIsLonger ? b : a;
    const uint32_t* y = bIsLonger ? a : b;
    const uint32_t nX = WordsFor(bIsLonger ? bitsB : bitsA);
    const uint32_t nY = WordsFor(bIsLonger ? bitsA : bitsB);
    const uint32_t h = nX / 2;
    const uint32_t lowY = nY < h ? nY : h;
    uint32_t z0[kBufferWords] = {};
    MultiplyWords(x, h, y, lowY, z0);
    const uint32_t n = h + lowY + 1 > nX + nY ? h + lowY + 1 : nX + nY;
    uint32_t rest[kBufferWords] = {};
    SubtractWords(p, z0, n, rest);
    const uint32_t wordsRest = WordsFor(BitLength(rest, n));
    const uint32_t wordsLow = WordsFor(BitLength(z0, h + lowY));
    return (wordsRest > wordsLow ? wordsRest : wordsLow) + 1;
}

// x = x * y mod m, all of nm words.
void MultiplyModulo(uint32_t* x, const uint32_t* y, const uint32_t* m, uint32_t nm) {
    uint32_t product[2 * kMaxModulusWords];
    if (x == y) {
        SquareWords(x, nm, product);
    } else {
        MultiplyWords(x, nm, y, nm, product);
    }
    const uint32_t np = Trim(product, 2 * nm);
    if (np < nm) {
        Copy(product, nm, x);
        return;
    }
    uint32_t quotient[2 * kMaxModulusWords];
    DivideWords(product, np, m, nm, quotient, x);
}

// Montgomery multiplication for an odd modulus: the values below the top bit of e are kept
// as x * 2^(32 nm) mod m, so that each reduction costs multiplications and no division.
struct Montgomery {
    const uint32_t* m;
    uint32_t nm;
    uint32_t inverse;  // -1 / m mod 2^32

    uint32_t squareOfR[kMaxModulusWords];  // 2^(64 nm) mod m, for entering the form

    Montgomery(const uint32_t* modulus, uint32_t words) : m(modulus), nm(words) {
        uint32_t x = modulus[0];  // Newton's iteration: each step doubles the correct low bits
        for (int i = 0; i < 5; ++i) {
            x *= 2 - modulus[0] * x;
        }
        inverse = 0u - x;
        uint32_t power[2 * kMaxModulusWords + 1] = {};
        power[2 * nm] = 1;
        uint32_t quotient[kBufferWords];
        DivideWords(power, 2 * nm + 1, m, nm, quotient, squareOfR);
    }

    // out = a * b / 2^(32 nm) mod m for a, b below m; out may be a or b.
    void Multiply(const uint32_t* a, const uint32_t* b, uint32_t* out) const {
        uint32_t t[kMaxModulusWords + 2] = {};
        for (uint32_t i = 0; i < nm; ++i) {
            uint64_t carry = 0;
            const uint64_t bi = b[i];
            for (uint32_t j = 0; j < nm; ++j) {
                const uint64_t sum = uint64_t{a[j]} * bi + t[j] + carry;
                t[j] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
            uint64_t sum = uint64_t{t[nm]} + carry;
            t[nm] = static_cast<uint32_t>(sum);
            t[nm + 1] = static_cast<uint32_t>(sum >> 32);

            const uint64_t factor = static_cast<uint32_t>(t[0] * inverse);
            carry = (uint64_t{t[0]} + factor * m[0]) >> 32;
            for (uint32_t j = 1; j < nm; ++j) {
                sum = uint64_t{t[j]} + factor * m[j] + carry;
                t[j - 1] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
            sum = uint64_t{t[nm]} + carry;
            t[nm - 1] = static_cast<uint32_t>(sum);
            t[nm] = t[nm + 1] + static_cast<uint32_t>(sum >> 32);
        }
        Finish(t, out);  // t < 2m: one subtraction at most
    }

    // x = x * x / 2^(32 nm) mod m: the square once, then its reduction word by word, which
    // saves a quarter of the work of Multiply.
    void Square(uint32_t* x) const {
        uint32_t t[2 * kMaxModulusWords + 1];
        SquareWords(x, nm, t);
        t[2 * nm] = 0;
        for (uint32_t i = 0; i < nm; ++i) {
            const uint64_t factor = static_cast<uint32_t>(t[i] * inverse);
            uint64_t carry = 0;
            for (uint32_t j = 0; j < nm; ++j) {
                const uint64_t sum = uint64_t{t[i + j]} + factor * m[j] + carry;
                t[i + j] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
            for (uint32_t k = i + nm; carry != 0 && k <= 2 * nm; ++k) {
                const uint64_t sum = uint64_t{t[k]} + carry;
                t[k] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
        }
        Finish(t + nm, x);
    }

    // out = t mod m for t[0, nm + 1) below 2m.
    void Finish(const uint32_t* t, uint32_t* out) const {
        if (t[nm] != 0 || CompareWords(t, m, nm) >= 0) {
            SubtractWords(t, m, nm, out);
        } else {
            Copy(t, nm, out);
        }
    }

    // x (below m) into the Montgomery form and back.
    void Enter(uint32_t* x) const { Multiply(x, squareOfR, x); }
    void Leave(uint32_t* x) const {
        const uint32_t one[kMaxModulusWords] = {1};
        Multiply(x, one, x);
    }
};

// result = result * sq^... for bits 0 to top - 1 of e: the square-and-multiply loop below the
// top bit, on values below m of nm words.
void PowerBelowTop(const BigInt& e, uint32_t top, const uint32_t* m, uint32_t nm, uint32_t* result,
                   uint32_t* sq) {
    if ((m[0] & 1) == 0) {
        for (uint32_t i = 0; i < top; ++i) {
            if (e.TestBit(i)) {
                MultiplyModulo(result, sq, m, nm);
            }
            MultiplyModulo(sq, sq, m, nm);
        }
        return;
    }
    const Montgomery mont(m, nm);
    mont.Enter(result);
    mont.Enter(sq);
    for (uint32_t i = 0; i < top; ++i) {
        if (e.TestBit(i)) {
            mont.Multiply(result, sq, result);
        }
        mont.Square(sq);
    }
    mont.Leave(result);
    mont.Leave(sq);
}

}  // namespace

bool DivideApplies(const BigInt& a, const BigInt& d) {
    return d.bitLength > 32 && a.WordsNeeded() <= kMaxDivideWords &&
           d.WordsNeeded() <= kMaxDivideWords;
}

void Divide(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    const uint32_t na = a.WordsNeeded();
    uint32_t u[kBufferWords] = {};
    uint32_t v[kBufferWords] = {};
    Load(a, na, u);
    Load(d, d.WordsNeeded(), v);
    const uint32_t nu = Trim(u, na);
    const uint32_t nv = Trim(v, d.WordsNeeded());
    uint32_t qw[kBufferWords] = {};
    uint32_t rw[kBufferWords] = {};
    DivideWords(u, nu, v, nv, qw, rw);
    q.wordCount = na;
    Copy(qw, na, q.words);
    q.UpdateBitLength();
    SetRemainder(rw, v, nv, qw, nu - nv + 1, r);
}

bool ModPowerApplies(const BigInt& b, const BigInt& e, const BigInt& m) {
    return e.bitLength > 0 && b.bitLength > 0 && m.bitLength > 32 &&
           m.WordsNeeded() <= kMaxModulusWords;
}

void ModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out) {
    uint32_t mw[kMaxModulusWords] = {};
    Load(m, m.WordsNeeded(), mw);
    const uint32_t nm = Trim(mw, kMaxModulusWords);

    // sq = b mod m, then square-and-multiply below the top bit of e.
    uint32_t sq[kBufferWords] = {};
    {
        const uint32_t nbAll = b.WordsNeeded();
        uint32_t bw[kBufferWords] = {};
        Load(b, nbAll, bw);
        const uint32_t nb = Trim(bw, nbAll);
        if (nb < nm) {
            Copy(bw, nb, sq);
        } else {
            uint32_t quotient[kBufferWords];
            DivideWords(bw, nb, mw, nm, quotient, sq);
        }
    }
    uint32_t result[kBufferWords] = {1};
    const uint32_t top = static_cast<uint32_t>(e.bitLength) - 1;
    PowerBelowTop(e, top, mw, nm, result, sq);

    // The top bit: its product and reduction decide the result's words in use.
    if (Trim(result, nm) == 0 || Trim(sq, nm) == 0) {
        out.SetInt(0);
        return;
    }
    uint32_t product[kBufferWords] = {};
    MultiplyWords(result, nm, sq, nm, product);
    const uint32_t np = Trim(product, 2 * nm);
    if (np <= nm && CompareWords(product, mw, nm) < 0) {
        out.wordCount = ProductWordCount(result, nm, sq, nm, product);
        Copy(product, out.wordCount, out.words);
        out.UpdateBitLength();
        return;
    }
    uint32_t quotient[kBufferWords] = {};
    uint32_t remainder[kBufferWords] = {};
    DivideWords(product, np, mw, nm, quotient, remainder);
    SetRemainder(remainder, mw, nm, quotient, np - nm + 1, out);
}

}  // namespace BigIntFast
