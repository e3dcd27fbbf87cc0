#pragma once

#include "platform/win32.h"

namespace MiscCommon {

// The interface class the Quenwick driver registers its device under:
// {4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}.
inline const GUID kQuenwickInterfaceClass = {
    0x4F7C2B9E, 0x1D3A, 0x4E86, {0x9B, 0x5F, 0xA2, 0xC8, 0xE0, 0xD4, 0x76, 0x13}};

}  // namespace MiscCommon
