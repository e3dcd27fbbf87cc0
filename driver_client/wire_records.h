// The records exchanged with the Quenwick driver. Every integer is little-endian; the records
// are read and written in place, which needs a little-endian processor.
#pragma once

#include <cstdint>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the driver's records are little-endian");

namespace MiscCommon {

// Four-letter tags, stored as the word whose little-endian bytes spell them.
constexpr uint32_t kTagIni1 = 0x31696E49;  // "Ini1"
constexpr uint32_t kTagIni2 = 0x32696E49;  // "Ini2"
constexpr uint32_t kTagIni3 = 0x33696E49;  // "Ini3"
constexpr uint32_t kTagAuth = 0x68747541;  // "Auth", the confirmation's left half
constexpr uint32_t kTagMisc = 0x6373694D;  // "Misc", its right half

constexpr uint32_t kBigNumberWords = 33;  // a 1024-bit value and a zero top word
constexpr uint32_t kNonceBytes = 24;      // 20 random bytes, then 4 zero bytes

struct Ini1Request {
    uint32_t tag;
    uint32_t A[kBigNumberWords];
    uint8_t Na[kNonceBytes];
};
struct Ini1Reply {
    uint32_t sessionId;
    uint32_t B[kBigNumberWords];
    uint8_t Nb[kNonceBytes];
};
struct Ini2Request {
    uint32_t tag;
    uint32_t sessionId;
    uint8_t proof[20];
};
struct Ini3Request {
    uint32_t tag;
    uint32_t sessionId;
    uint32_t key[4];  // the session key, two blocks enciphered under the key-encryption key
};
static_assert(sizeof(Ini1Request) == 160 && sizeof(Ini1Reply) == 160);
static_assert(sizeof(Ini2Request) == 28 && sizeof(Ini3Request) == 24);

// The capsule's header; its payload follows at byte 12. sizeCapsule is 16 plus the payload
// length raised to a multiple of 8: the last 4 bytes lie beyond the enciphered area.
struct MessageCapsule {
    uint32_t sizePayload;
    uint32_t sizeCapsule;
    uint32_t sessionId;
};
constexpr uint32_t kCapsuleHeaderBytes = 12;
constexpr uint32_t kCapsuleOverheadBytes = 16;

// The inner request of every request capsule; sizeIn bytes of data and 4 zero bytes follow.
struct EncapsuledRequest {
    uint32_t sequence;
    uint32_t sizeRequest;  // sizeIn + 24: the whole record with its closing zero word
    uint32_t ioControlCode;
    uint32_t sizeIn;
    uint32_t sizeOut;
};
constexpr uint32_t kEncapsuledRequestOverheadBytes = 24;

// Misc-function packets: an 8-byte header, then a body per function. The answer overwrites
// the packet from byte 0, whose first byte is the status.
struct MiscPacketHeader {
    uint16_t function;
    uint16_t sizeIn;
    uint16_t sizeOut;
    uint16_t reserved;
};
constexpr uint8_t kMiscStatusSuccess = 0;
constexpr uint8_t kMiscStatusBusy = 4;  // repeat the request once

constexpr uint16_t kMiscReadRtcRegister = 0x0100;
constexpr uint16_t kMiscWriteRtcRegister = 0x0101;
constexpr uint16_t kMiscPlatformInformation = 0x021A;

// The register-B packets, 32 bytes.
struct RtcRegisterPacket {
    MiscPacketHeader header;
    uint32_t port;     // 0x00000090
    uint32_t index;    // 11, register B
    uint32_t command;  // 0x01000090 to read, 0x01010090 to write
    uint32_t value;    // the value to write; in a read's answer, byte 20 holds the register
    uint32_t unused[2];
};
static_assert(sizeof(RtcRegisterPacket) == 32);
constexpr uint32_t kRtcPort = 0x90;
constexpr uint32_t kRtcRegisterB = 11;
constexpr uint32_t kRtcReadCommand = 0x01000090;
constexpr uint32_t kRtcWriteCommand = 0x01010090;
constexpr uint32_t kRtcValueOffset = 20;

// The platform-information packet, 9 bytes: the value comes back in byte 8.
constexpr uint32_t kPlatformPacketBytes = 9;
constexpr uint32_t kPlatformValueOffset = 8;

// The model-number reply of IOCTL_MISC_GET_MODEL.
constexpr uint32_t kModelReplyBytes = 128;
constexpr uint32_t kModelTextOffset = 40;  // 12 bytes
constexpr uint32_t kModelShortLength = 12;
constexpr uint32_t kModelLongLengthOffset = 95;  // 0, or 12 to 19
constexpr uint32_t kModelLongTailOffset = 96;    // the characters from the 12th on
constexpr uint32_t kModelLongMaximum = 19;

}  // namespace MiscCommon
