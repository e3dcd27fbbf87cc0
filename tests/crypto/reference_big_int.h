// The bit-by-bit division and the square-and-multiply loop exactly as first written: the
// reference the word-level DivMod and ModPower must match in value, wordCount and bitLength.
#pragma once

#include "crypto/big_int.h"

void ReferenceDivMod(const BigInt& a, const BigInt& d, BigInt& q, BigInt& r);
bool ReferenceModPower(const BigInt& b, const BigInt& e, const BigInt& m, BigInt& out);
