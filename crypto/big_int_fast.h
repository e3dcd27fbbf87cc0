// Word-level division and modular exponentiation behind DivMod and ModPower. They compute
// the same values as the bit-by-bit division and the square-and-multiply loop, and give their
// results the wordCount and bitLength those would give (see big_int_fast.cpp); only the cost
// differs. No heap, no state between calls.
#pragma once

#include "crypto/big_int.h"

namespace BigIntFast {

// True when FastDivide may stand for the bit-by-bit division: a divisor above 32 bits and
// both operands needing at most 65 words, so that no step of it could raise the capacity
// error.
bool DivideApplies(const BigInt& a, const BigInt& d);
// q and r of a / d for 0 < d <= a where DivideApplies; q and r are not a or d.
void Divide(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r);

// True when FastModPower may stand for the loop: e > 0, b > 0, and a positive modulus above
// 32 bits needing at most 33 words.
bool ModPowerApplies(const BigInt& b, const BigInt& e, const BigInt& m);
// out = b^e mod m where ModPowerApplies; out may be b, e or m.
void ModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out);

}  // namespace BigIntFast
