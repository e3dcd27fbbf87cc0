#pragma once

#include <cstdint>

namespace MiscCommon {

constexpr uint32_t kKeyBlockBytes = 128;
constexpr uint32_t kPreSharedKeyOffset = 23;
constexpr uint32_t kPreSharedKeyBytes = 16;

// Writes the 128-byte block whose bytes 23 to 38 are the key shared with the Quenwick driver.
// The key is never stored whole in the program: the block is written word by word from
// immediate constants, and the other 112 bytes are filler. The caller wipes the block.
void AssembleKeyBlock(uint8_t* pBlock);

}  // namespace MiscCommon
