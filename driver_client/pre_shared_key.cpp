#include "driver_client/pre_shared_key.h"

namespace MiscCommon {

void AssembleKeyBlock(uint8_t* pBlock) {
    // Volatile stores keep each word an immediate operand of its own store instruction; the
    // optimiser would otherwise gather them into one constant table holding the key whole.
    volatile uint32_t* v = reinterpret_cast<volatile uint32_t*>(pBlock);
    // clang-format off
    v[0] = 0xAD76E1F2; v[1] = 0xFA0AF4B1; v[2] = 0x64484ED7; v[3] = 0x47999D84;
    v[4] = 0x872EB3FF; v[5] = 0x3CCDAA5B; v[6] = 0xD205E791; v[7] = 0x1FB36A48;
    v[8] = 0x80297EC4; v[9] = 0xE1A6F25D; v[10] = 0x4429DBC6; v[11] = 0x64872EB9;
    v[12] = 0x3A3DB225; v[13] = 0xDFE5C2CC; v[14] = 0x3A4D9DDF; v[15] = 0xE23BAC5D;
    v[16] = 0xDF6BF744; v[17] = 0x201157DA; v[18] = 0xDEFD941B; v[19] = 0x932915E0;
    v[20] = 0x776C1C6D; v[21] = 0x65DBB9FF; v[22] = 0xAE6F90EE; v[23] = 0xCC93D7B9;
    v[24] = 0x51CC4245; v[25] = 0x55354A9B; v[26] = 0x5BB8E4EA; v[27] = 0xDD9ED9ED;
    v[28] = 0xA90D1C8C; v[29] = 0xE891C2CC; v[30] = 0x40E64515; v[31] = 0xC49319A7;
    // clang-format on
}

}  // namespace MiscCommon
