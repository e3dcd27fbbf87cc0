// The Quenwick driver's device-control codes: device type 0x22 (FILE_DEVICE_UNKNOWN), method
// buffered, any access.
#pragma once

#include <cstdint>

namespace MiscCommon {

constexpr uint32_t QuenwickControlCode(uint32_t function) {
    return (0x22u << 16) | (function << 2);
}

constexpr uint32_t IOCTL_MISC_SESSION = QuenwickControlCode(0x800);        // 0x222000
constexpr uint32_t IOCTL_MISC_CLOSE_SESSION = QuenwickControlCode(0x801);  // 0x222004
constexpr uint32_t IOCTL_MISC_CAPSULE = QuenwickControlCode(0x802);        // 0x222008
constexpr uint32_t IOCTL_MISC_GET_MODEL = QuenwickControlCode(0xA50);      // 0x222940
// Never sent on its own: the inner code of every capsule's request.
constexpr uint32_t IOCTL_MISC_FUNCTION = QuenwickControlCode(0xA51);  // 0x222944

static_assert(IOCTL_MISC_SESSION == 0x222000 && IOCTL_MISC_CLOSE_SESSION == 0x222004 &&
              IOCTL_MISC_CAPSULE == 0x222008 && IOCTL_MISC_GET_MODEL == 0x222940 &&
              IOCTL_MISC_FUNCTION == 0x222944);

}  // namespace MiscCommon
