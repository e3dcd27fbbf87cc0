#include "driver_client/primitives.h"

#include "crypto/big_int.h"
#include "crypto/blowfish.h"
#include "crypto/sha1.h"

namespace MiscCommon {

const Primitives kRealPrimitives = {hdrand_init,      hdrand_test,     hdrand_next,
                                    pow2mod,          powmod,          BlowfishInitialize,
                                    BlowfishEncipher, BlowfishDecipher};
Primitives g_primitives = kRealPrimitives;

}  // namespace MiscCommon
