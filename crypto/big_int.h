// Fixed-capacity signed integers and the modular exponentiation of the session handshake.
//
// A BigInt is two's complement over its wordCount words, least significant first; bit 31 of
// the top word in use is the sign bit. bitLength records significance and sign: 0 for zero,
// the binary digit count of a positive value, and minus the bit count of the shortest two's
// complement form (sign bit included) of a negative one (-1 -> -1, -4 -> -3, -2^31 -> -32).
// Result sizes derive from the words the operands need, never from the words they hold; no
// operation trims wordCount. Nothing here allocates.
//
// A word count above kBigIntCapacity raises EXCEPTION_INT_OVERFLOW (non-continuable), a
// division by zero EXCEPTION_INT_DIVIDE_BY_ZERO (continuable; both quotient and remainder are
// then zero). On the host platform both are C++ exceptions of two distinct types.
#pragma once

#include <cstdint>

constexpr uint32_t kBigIntCapacity = 67;

struct BigInt {
    uint32_t wordCount;  // 1 to kBigIntCapacity
    int32_t bitLength;
    uint32_t words[kBigIntCapacity];  // words at and above wordCount mean nothing

    BigInt() : wordCount(1), bitLength(0) { words[0] = 0; }

    void SetInt(int32_t v);
    // wordCount = n and the n words of p; a null p or n = 0 gives zero. False, giving zero,
    // when n exceeds the capacity.
    bool SetWords(const uint32_t* p, uint32_t n);
    // False, writing nothing, when more than n words are in use; otherwise writes the words in
    // use and leaves the rest of p as it was.
    bool CopyOut(uint32_t* p, uint32_t n) const;
    void Assign(const BigInt& o);
    // o takes this value with its wordCount; this becomes zero in one word.
    void MoveTo(BigInt& o);
    // New words take the sign fill; shrinking leaves bitLength alone. 0 counts as 1.
    void Resize(uint32_t n);
    // An output of n words: bitLength 0 and word 0 cleared; the caller writes the others.
    void PrepareZero(uint32_t n);
    void UpdateBitLength();
    // The words that hold the value together with a sign bit; 0 for zero.
    uint32_t WordsNeeded() const;
    uint32_t SignFill() const { return bitLength < 0 ? 0xFFFFFFFFu : 0; }
    // Word i below wordCount, else the sign fill.
    uint32_t WordAt(uint32_t i) const { return i < wordCount ? words[i] : SignFill(); }
    // The caller keeps i below 32 * wordCount.
    bool TestBit(uint32_t i) const { return (words[i / 32] >> (i % 32)) & 1; }
    void Negate();
    // v = 2v. Adjusts bitLength by one instead of recomputing it, so a positive value may show
    // bit 31 set in its top word until the next operation that rewrites it.
    void ShiftLeftBit();
    void ShiftLeftWords(uint32_t n);
    bool IsLess(const BigInt& o) const;
    bool IsGreater(const BigInt& o) const;
};

// Outputs come last and may be the same object as any input.
int32_t Compare(const BigInt& a, const BigInt& b);
void Add(const BigInt& a, const BigInt& b, BigInt& out);
void Subtract(const BigInt& a, const BigInt& b, BigInt& out);
void Multiply(const BigInt& a, const BigInt& b, BigInt& out);
// Truncating division: q rounds toward zero and r takes the sign of a. When q and r are one
// object it receives the quotient.
void DivMod(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r);
// out = b^e mod |m|: 1 when e is 0, 0 when e is negative or b is 0. False, with out zero, for a
// negative base.
bool ModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out);

// Array form: word arrays least significant first, read as two's complement over the count
// given. out receives b^e mod m; false when a pointer is null, a count exceeds the capacity,
// the base is negative, or the result has more words in use than outWords. The words of out
// beyond the result's are left as they were.
bool powmod(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
            const uint32_t* exp, uint32_t expWords, const uint32_t* mod, uint32_t modWords);
// powmod with the base 2.
bool pow2mod(uint32_t* out, uint32_t outWords, const uint32_t* exp, uint32_t expWords,
             const uint32_t* mod, uint32_t modWords);
