#include "crypto/big_int.h"

#include "crypto/big_int_fast.h"
#include "platform/win32.h"

namespace {

[[noreturn]] void RaiseCapacityError() {
    RaiseException(EXCEPTION_INT_OVERFLOW, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    for (;;) {
    }
}

int LeadingZeros(uint32_t w) {
    return w == 0 ? 32 : __builtin_clz(w);
}

bool IsZero(const BigInt& v) {
    return v.bitLength == 0;
}
bool IsNegative(const BigInt& v) {
    return v.bitLength < 0;
}

// One operation, out = a * b, for operands that are neither zero nor negative.
void MultiplyMagnitudes(const BigInt& a, const BigInt& b, BigInt& out);

// The low h words of v followed by one zero word, so that they read as non-negative.
void LowHalf(const BigInt& v, uint32_t h, BigInt& half) {
    half.wordCount = h + 1;
    for (uint32_t i = 0; i < h; ++i) {
        half.words[i] = v.WordAt(i);
    }
    half.words[h] = 0;
    half.UpdateBitLength();
}

// Words from..to-1 of v.
void WordRange(const BigInt& v, uint32_t from, uint32_t to, BigInt& part) {
    if (to <= from) {
        part.SetInt(0);
        return;
    }
    part.wordCount = to - from;
    for (uint32_t i = from; i < to; ++i) {
        part.words[i - from] = v.WordAt(i);
    }
    part.UpdateBitLength();
}

void MultiplySingleWord(const BigInt& small, const BigInt& big, BigInt& out) {
    const uint32_t n = big.WordsNeeded();
    out.Resize(n + 1);
    uint64_t carry = 0;
    for (uint32_t k = 0; k < n; ++k) {
        const uint64_t t = uint64_t{big.WordAt(k)} * small.words[0] + carry;
        out.words[k] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    out.words[n] = static_cast<uint32_t>(carry);
    if (carry & 0x80000000u) {
        out.Resize(n + 2);
        out.words[n + 1] = 0;
    }
    out.UpdateBitLength();
}

void MultiplySplit(const BigInt& a, const BigInt& b, BigInt& out) {
    const bool bIsLonger = b.WordsNeeded() >= a.WordsNeeded();
    const BigInt& x = bIsLonger ? b : a;
    const BigInt& y = bIsLonger ? a : b;
    const uint32_t nX = x.WordsNeeded();
    const uint32_t nY = y.WordsNeeded();
    const uint32_t h = nX / 2;

    BigInt x1, x0, y1, y0;
    WordRange(x, h, nX, x1);
    LowHalf(x, h, x0);
    if (nY < h) {
        WordRange(y, 0, nY, y0);
    } else {
        WordRange(y, h, nY, y1);
        LowHalf(y, h, y0);
    }

    BigInt s1, s2, z0, z1, z2;
    Add(x1, x0, s1);
    Add(y1, y0, s2);
    Multiply(s1, s2, z1);
    Multiply(x1, y1, z2);
    Multiply(x0, y0, z0);
    Subtract(z1, z2, z1);
    Subtract(z1, z0, z1);
    z1.ShiftLeftWords(h);
    z2.ShiftLeftWords(2 * h);
    Add(z2, z1, out);
    Add(out, z0, out);
}

void MultiplyMagnitudes(const BigInt& a, const BigInt& b, BigInt& out) {
    out.SetInt(0);
    if (a.bitLength <= 32) {
        MultiplySingleWord(a, b, out);
    } else if (b.bitLength <= 32) {
        MultiplySingleWord(b, a, out);
    } else {
        MultiplySplit(a, b, out);
    }
}

// Sets bit 0 of a remainder being built bit by bit.
void BringDownBit(const BigInt& a, uint32_t i, BigInt& r) {
    if (a.TestBit(i)) {
        r.words[0] |= 1;
        if (r.bitLength == 0) {
            r.bitLength = 1;
        }
    }
}

// a / d for 0 < d <= a.
void DivideMagnitudes(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    if (d.bitLength <= 32) {
        q.PrepareZero(a.wordCount);
        const uint32_t dv = d.words[0];
        uint64_t rem = 0;
        for (uint32_t k = a.wordCount; k-- > 0;) {
            const uint64_t t = (rem << 32) | a.words[k];
            q.words[k] = static_cast<uint32_t>(t / dv);
            rem = t % dv;
        }
        r.SetInt(0);
        r.words[0] = static_cast<uint32_t>(rem);
        if (rem >= 0x80000000u) {
            r.wordCount = 2;
            r.words[1] = 0;
        }
        r.UpdateBitLength();
        q.UpdateBitLength();
        return;
    }

    if (BigIntFast::DivideApplies(a, d)) {
        BigIntFast::Divide(a, d, q, r);
        return;
    }
    // Operands needing 66 or 67 words: shift and subtract, whose steps may raise the capacity
    // error. Throughout, r < 2d keeps d.WordsNeeded() words, so no bit that
    // ShiftLeftBit moves leaves its top word. -d is formed once instead of per subtraction.
    BigInt minusD;
    minusD.Assign(d);
    minusD.Negate();
    q.SetInt(0);
    q.Resize(a.WordsNeeded());
    r.SetInt(0);
    r.Resize(d.WordsNeeded());
    int32_t i = a.bitLength;
    for (;;) {
        --i;
        if (!r.IsLess(d)) {
            break;
        }
        r.ShiftLeftBit();
        BringDownBit(a, static_cast<uint32_t>(i), r);
    }
    ++i;  // the position of the last bit brought down
    for (;;) {
        if (r.IsLess(d)) {
            if (i == 0) {
                break;
            }
            --i;
            r.ShiftLeftBit();
            BringDownBit(a, static_cast<uint32_t>(i), r);
        } else {
            Add(r, minusD, r);
            q.words[i / 32] |= 1u << (i % 32);
        }
    }
    q.UpdateBitLength();
}

void DivModNonAliased(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    if (IsNegative(a) || IsNegative(d)) {
        BigInt magA, magD;
        magA.Assign(a);
        magD.Assign(d);
        if (IsNegative(magA)) {
            magA.Negate();
        }
        if (IsNegative(magD)) {
            magD.Negate();
        }
        DivModNonAliased(magA, magD, q, r);
        if (IsNegative(a) != IsNegative(d)) {
            q.Negate();
        }
        if (IsNegative(a)) {
            r.Negate();
        }
        return;
    }
    if (d.IsGreater(a)) {
        q.SetInt(0);
        r.Assign(a);
        return;
    }
    DivideMagnitudes(a, d, q, r);
}

}  // namespace

void BigInt::SetInt(int32_t v) {
    wordCount = 1;
    words[0] = static_cast<uint32_t>(v);
    UpdateBitLength();
}

bool BigInt::SetWords(const uint32_t* p, uint32_t n) {
    if (p == nullptr || n == 0 || n > kBigIntCapacity) {
        SetInt(0);
        return n <= kBigIntCapacity;
    }
    wordCount = n;
    for (uint32_t i = 0; i < n; ++i) {
        words[i] = p[i];
    }
    UpdateBitLength();
    return true;
}

bool BigInt::CopyOut(uint32_t* p, uint32_t n) const {
    if (wordCount > n) {
        return false;
    }
    for (uint32_t i = 0; i < wordCount; ++i) {
        p[i] = words[i];
    }
    return true;
}

void BigInt::Assign(const BigInt& o) {
    if (this == &o) {
        return;
    }
    wordCount = o.wordCount;
    bitLength = o.bitLength;
    for (uint32_t i = 0; i < wordCount; ++i) {
        words[i] = o.words[i];
    }
}

void BigInt::MoveTo(BigInt& o) {
    if (this == &o) {
        return;
    }
    o.Assign(*this);
    SetInt(0);
}

void BigInt::Resize(uint32_t n) {
    if (n == 0) {
        n = 1;
    }
    if (n > kBigIntCapacity) {
        RaiseCapacityError();
    }
    const uint32_t fill = SignFill();
    for (uint32_t i = wordCount; i < n; ++i) {
        words[i] = fill;
    }
    wordCount = n;
}

void BigInt::PrepareZero(uint32_t n) {
    if (n > kBigIntCapacity) {
        RaiseCapacityError();
    }
    wordCount = n == 0 ? 1 : n;
    bitLength = 0;
    words[0] = 0;
}

void BigInt::UpdateBitLength() {
    int32_t i = static_cast<int32_t>(wordCount) - 1;
    if (words[i] & 0x80000000u) {
        while (i >= 0 && words[i] == 0xFFFFFFFFu) {
            --i;
        }
        bitLength = i < 0 ? -1 : -33 - 32 * i + LeadingZeros(~words[i]);
    } else {
        while (i >= 0 && words[i] == 0) {
            --i;
        }
        bitLength = i < 0 ? 0 : 32 * (i + 1) - LeadingZeros(words[i]);
    }
}

uint32_t BigInt::WordsNeeded() const {
    if (bitLength == 0) {
        return 0;
    }
    if (bitLength > 0) {
        return static_cast<uint32_t>(bitLength) / 32 + 1;
    }
    if (bitLength == -1) {
        return 1;
    }
    return (static_cast<uint32_t>(-bitLength) - 1) / 32 + 1;
}

void BigInt::Negate() {
    if (IsZero(*this)) {
        return;
    }
    bool mostNegative = words[wordCount - 1] == 0x80000000u;
    for (uint32_t i = 0; mostNegative && i + 1 < wordCount; ++i) {
        mostNegative = words[i] == 0;
    }
    if (mostNegative) {
        Resize(wordCount + 1);
    }
    for (uint32_t i = 0; i < wordCount; ++i) {
        words[i] = ~words[i];
    }
    for (uint32_t i = 0; i < wordCount && ++words[i] == 0; ++i) {
    }
    UpdateBitLength();
}

void BigInt::ShiftLeftBit() {
    if (IsZero(*this)) {
        return;
    }
    // Refused before anything changes: the capacity error leaves the value as it was.
    const bool grows = (words[wordCount - 1] >> 31) != 0;
    if (grows && wordCount + 1 > kBigIntCapacity) {
        RaiseCapacityError();
    }
    bitLength += bitLength > 0 ? 1 : -1;
    uint32_t carry = 0;
    for (uint32_t i = 0; i < wordCount; ++i) {
        const uint32_t out = words[i] >> 31;
        words[i] = (words[i] << 1) | carry;
        carry = out;
    }
    if (grows) {
        words[wordCount] = bitLength > 0 ? 1 : 0xFFFFFFFFu;
        ++wordCount;
    }
}

void BigInt::ShiftLeftWords(uint32_t n) {
    if (n == 0) {
        return;
    }
    if (wordCount < WordsNeeded() + n) {
        Resize(WordsNeeded() + n);
    }
    for (uint32_t i = wordCount; i-- > n;) {
        words[i] = words[i - n];
    }
    for (uint32_t i = 0; i < n; ++i) {
        words[i] = 0;
    }
    if (bitLength > 0) {
        bitLength += static_cast<int32_t>(32 * n);
    } else if (bitLength < 0) {
        bitLength -= static_cast<int32_t>(32 * n);
    }
}

bool BigInt::IsLess(const BigInt& o) const {
    return Compare(*this, o) < 0;
}
bool BigInt::IsGreater(const BigInt& o) const {
    return Compare(*this, o) > 0;
}

int32_t Compare(const BigInt& a, const BigInt& b) {
    // A larger bitLength always means a larger value.
    if (a.bitLength != b.bitLength) {
        return a.bitLength - b.bitLength;
    }
    if (a.bitLength == 0 || a.bitLength == -1) {
        return 0;
    }
    const int32_t top = a.bitLength > 0 ? (a.bitLength - 1) / 32 : (-a.bitLength - 2) / 32;
    for (int32_t i = top; i >= 0; --i) {
        const uint32_t wa = a.WordAt(static_cast<uint32_t>(i));
        const uint32_t wb = b.WordAt(static_cast<uint32_t>(i));
        if (wa != wb) {
            return wa < wb ? -1 : 1;
        }
    }
    return 0;
}

void Add(const BigInt& a, const BigInt& b, BigInt& out) {
    const bool aNegative = IsNegative(a);
    const bool bNegative = IsNegative(b);
    const uint32_t na = a.WordsNeeded();
    const uint32_t nb = b.WordsNeeded();
    const uint32_t m = na > nb ? na : nb;
    if (&out == &a || &out == &b) {
        out.Resize(m + 1);
    } else {
        out.PrepareZero(m + 1);
    }
    uint64_t carry = 0;
    for (uint32_t i = 0; i < m; ++i) {
        const uint64_t s = uint64_t{a.WordAt(i)} + b.WordAt(i) + carry;
        out.words[i] = static_cast<uint32_t>(s);
        carry = s >> 32;
    }
    if (aNegative == bNegative) {
        out.words[m] = aNegative ? 0xFFFFFFFFu : static_cast<uint32_t>(carry);
    } else {
        out.Resize(m);  // the carry of a mixed-sign sum is dropped
    }
    out.UpdateBitLength();
}

void Subtract(const BigInt& a, const BigInt& b, BigInt& out) {
    BigInt c;
    c.Assign(b);
    c.Negate();
    Add(a, c, out);
}

void Multiply(const BigInt& a, const BigInt& b, BigInt& out) {
    if (IsZero(a) || IsZero(b)) {
        out.SetInt(0);
        return;
    }
    BigInt product;
    if (IsNegative(a) || IsNegative(b)) {
        BigInt magA, magB;
        magA.Assign(a);
        magB.Assign(b);
        if (IsNegative(magA)) {
            magA.Negate();
        }
        if (IsNegative(magB)) {
            magB.Negate();
        }
        MultiplyMagnitudes(magA, magB, product);
        if (IsNegative(a) != IsNegative(b)) {
            product.Negate();
        }
    } else {
        MultiplyMagnitudes(a, b, product);
    }
    product.MoveTo(out);
}

void DivMod(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    if (IsZero(d)) {
        RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr);
        q.SetInt(0);
        r.SetInt(0);
        return;
    }
    if (IsZero(a)) {
        q.SetInt(0);
        r.SetInt(0);
        return;
    }
    BigInt quotient, remainder;
    DivModNonAliased(a, d, quotient, remainder);
    remainder.MoveTo(r);
    quotient.MoveTo(q);
}

bool ModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out) {
    if (IsZero(e)) {
        out.SetInt(1);
        return true;
    }
    if (IsNegative(e) || IsZero(b)) {
        out.SetInt(0);
        return true;
    }
    if (IsNegative(b)) {
        out.SetInt(0);
        return false;
    }
    if (BigIntFast::ModPowerApplies(b, e, m)) {
        BigIntFast::ModPower(b, e, m, out);
        return true;
    }
    BigInt sq, result, discard;
    DivMod(b, m, discard, sq);
    result.SetInt(1);
    for (int32_t i = 0; i < e.bitLength; ++i) {
        if (e.TestBit(static_cast<uint32_t>(i))) {
            Multiply(result, sq, result);
            DivMod(result, m, discard, result);
        }
        Multiply(sq, sq, sq);
        DivMod(sq, m, discard, sq);
    }
    result.MoveTo(out);
    return true;
}

bool powmod(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
            const uint32_t* exp, uint32_t expWords, const uint32_t* mod, uint32_t modWords) {
    BigInt b, e, m;
    const bool loaded =
        b.SetWords(base, baseWords) && e.SetWords(exp, expWords) && m.SetWords(mod, modWords);
    if (out == nullptr || base == nullptr || exp == nullptr || mod == nullptr || !loaded) {
        return false;
    }
    BigInt result;
    if (!ModPower(b, e, m, result)) {
        return false;
    }
    return result.CopyOut(out, outWords);
}

bool pow2mod(uint32_t* out, uint32_t outWords, const uint32_t* exp, uint32_t expWords,
             const uint32_t* mod, uint32_t modWords) {
    static const uint32_t kTwo[1] = {2};
    return powmod(out, outWords, kTwo, 1, exp, expWords, mod, modWords);
}
