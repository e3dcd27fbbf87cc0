#pragma once

#include <cstdint>

#include "driver_client/wire_records.h"

namespace MiscCommon {

// The RFC 2409 Second Oakley Group prime, least significant word first, with the zero top word
// of the 33-word form; the generator is 2.
inline const uint32_t kGroupPrime[kBigNumberWords] = {
    0xFFFFFFFF, 0xFFFFFFFF, 0xECE65381, 0x49286651, 0x7C4B1FE6, 0xAE9F2411, 0x5A899FA5,
    0xEE386BFB, 0xF406B7ED, 0x0BFF5CB6, 0xA637ED6B, 0xF44C42E9, 0x625E7EC6, 0xE485B576,
    0x6D51C245, 0x4FE1356D, 0xF25F1437, 0x302B0A6D, 0xCD3A431B, 0xEF9519B3, 0x8E3404DD,
    0x514A0879, 0x3B139B22, 0x020BBEA6, 0x8A67CC74, 0x29024E08, 0x80DC1CD1, 0xC4C6628B,
    0x2168C234, 0xC90FDAA2, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000};

}  // namespace MiscCommon
