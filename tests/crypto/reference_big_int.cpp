#include "tests/crypto/reference_big_int.h"

#include "platform/win32.h"

namespace {

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
    ++i;
    for (;;) {
        if (r.IsLess(d)) {
            if (i == 0) {
                break;
            }
            --i;
            r.ShiftLeftBit();
            BringDownBit(a, static_cast<uint32_t>(i), r);
        } else {
            Subtract(r, d, r);
            q.words[i / 32] |= 1u << (i % 32);
        }
    }
    q.UpdateBitLength();
}

void DivModNonAliased(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    if (a.bitLength < 0 || d.bitLength < 0) {
        BigInt magA, magD;
        magA.Assign(a);
        magD.Assign(d);
        if (magA.bitLength < 0) {
            magA.Negate();
        }
        if (magD.bitLength < 0) {
            magD.Negate();
        }
        DivModNonAliased(magA, magD, q, r);
        if ((a.bitLength < 0) != (d.bitLength < 0)) {
            q.Negate();
        }
        if (a.bitLength < 0) {
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

void ReferenceDivMod(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r) {
    if (d.bitLength == 0) {
        RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr);
        q.SetInt(0);
        r.SetInt(0);
        return;
    }
    if (a.bitLength == 0) {
        q.SetInt(0);
        r.SetInt(0);
        return;
    }
    BigInt quotient, remainder;
    DivModNonAliased(a, d, quotient, remainder);
    remainder.MoveTo(r);
    quotient.MoveTo(q);
}

bool ReferenceModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out) {
    if (e.bitLength == 0) {
        out.SetInt(1);
        return true;
    }
    if (e.bitLength < 0 || b.bitLength == 0) {
        out.SetInt(0);
        return true;
    }
    if (b.bitLength < 0) {
        out.SetInt(0);
        return false;
    }
    BigInt sq, result, discard;
    ReferenceDivMod(b, m, discard, sq);
    result.SetInt(1);
    for (int32_t i = 0; i < e.bitLength; ++i) {
        if (e.TestBit(static_cast<uint32_t>(i))) {
            Multiply(result, sq, result);
            ReferenceDivMod(result, m, discard, result);
        }
        Multiply(sq, sq, sq);
        ReferenceDivMod(sq, m, discard, sq);
    }
    result.MoveTo(out);
    return true;
}
