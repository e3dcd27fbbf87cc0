#include <gtest/gtest.h>

#include <cstring>

#include "crypto/blowfish.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "driver_client/primitives.h"
#include "driver_client/wire_records.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"

using namespace MiscCommon;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// A reply capsule in the clear, as plain mode carries it.
HostReply PlainReply(uint32_t sizePayload, uint32_t sizeCapsule, size_t bytes, uint8_t fill) {
    std::vector<uint8_t> capsule(bytes < 12 ? 12 : bytes, fill);
    std::memcpy(capsule.data(), &sizePayload, 4);
    std::memcpy(capsule.data() + 4, &sizeCapsule, 4);
    std::memset(capsule.data() + 8, 0, 4);
    capsule.resize(bytes);
    return HostReply{TRUE, 0, capsule};
}

class CapsuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverClient();
        root.AddDevice("0000", "1.0.8.0");
        driver.Install();
        ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    }
    void TearDown() override { ResetDriverClient(); }

    void Plain() {
        driver.machine.plainMode = true;
        ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
        ASSERT_FALSE(CMiscCommon::_bEncrypt);
    }
    void Session() {
        ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
        ASSERT_NE(CMiscCommon::_pBlowfish, nullptr);
        driver.requests.clear();
    }
    // Answers every capsule request with this reply.
    void ReplyWith(HostReply reply) {
        driver.replace = [reply](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
            return r.code == IOCTL_MISC_CAPSULE ? std::optional<HostReply>(reply) : std::nullopt;
        };
    }

    TemporaryHostRoot root;
    ScriptedDriver driver;
};

TEST(CapsuleSizes, SixteenBytesPlusThePayloadRaisedToAMultipleOf8) {
    const uint32_t cases[][2] = {{0, 16}, {1, 24}, {8, 24}, {9, 32}, {16, 32}, {17, 40}, {56, 72}};
    for (const auto& c : cases) {
        std::vector<uint8_t> payload(c[0], 0xAB);
        MessageCapsule* capsule = CMiscCommon::_InitializeMessageCapsule(c[0], payload.data());
        ASSERT_NE(capsule, nullptr);
        EXPECT_EQ(capsule->sizePayload, c[0]);
        EXPECT_EQ(capsule->sizeCapsule, c[1]);
        EXPECT_EQ(capsule->sessionId, 0u);
        const auto* bytes = reinterpret_cast<const uint8_t*>(capsule);
        for (uint32_t i = 12; i < c[1]; ++i) {
            EXPECT_EQ(bytes[i], i < 12 + c[0] ? 0xAB : 0) << "size " << c[0] << " byte " << i;
        }
        HeapFree(GetProcessHeap(), 0, capsule);
    }
    MessageCapsule* empty = CMiscCommon::_InitializeMessageCapsule(5, nullptr);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(empty)[12], 0);
    HeapFree(GetProcessHeap(), 0, empty);
}

int g_cipherCalls = 0;
bool FailsOnThirdBlock(const BlowfishContext* c, uint32_t* l, uint32_t* r) {
    return ++g_cipherCalls == 3 ? false : BlowfishEncipher(c, l, r);
}
bool DecipherFailsOnThirdBlock(const BlowfishContext* c, uint32_t* l, uint32_t* r) {
    return ++g_cipherCalls == 3 ? false : BlowfishDecipher(c, l, r);
}

TEST(CapsuleCipher, ErrorsAndTheIndexOfTheFailingBlock) {
    ResetDriverClient();
    EXPECT_EQ(CMiscCommon::_Encrypt(nullptr), MISC_MISSING_ARGUMENT);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Encrypt: capsule is NULL");
    EXPECT_EQ(CMiscCommon::_Decrypt(nullptr), MISC_MISSING_ARGUMENT);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Decrypt: capsule is NULL");
    MessageCapsule* capsule = CMiscCommon::_InitializeMessageCapsule(40, nullptr);
    EXPECT_EQ(CMiscCommon::_Encrypt(capsule), MISC_NO_DEVICE);
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::_Encrypt: BlowFish Context is not initialized.");
    EXPECT_EQ(CMiscCommon::_Decrypt(capsule), MISC_NO_DEVICE);
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::_Decrypt: BlowFish Context is not initialized.");

    BlowfishContext context;
    const uint8_t key[16] = {1, 2, 3};
    BlowfishInitialize(&context, key, 16);
    CMiscCommon::_pBlowfish = &context;
    MessageCapsule* empty = CMiscCommon::_InitializeMessageCapsule(0, nullptr);
    EXPECT_EQ(CMiscCommon::_Encrypt(empty), MISC_SUCCESS);
    EXPECT_EQ(empty->sizeCapsule, 16u);

    g_cipherCalls = 0;
    g_primitives.blowfishEncipher = FailsOnThirdBlock;
    EXPECT_EQ(CMiscCommon::_Encrypt(capsule), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Encrypt: BlowFish Encipher failed. i = 2");
    const auto* words = reinterpret_cast<const uint32_t*>(reinterpret_cast<uint8_t*>(capsule) + 12);
    uint32_t l = 0, r = 0;
    BlowfishEncipher(&context, &l, &r);
    EXPECT_EQ(words[0], l) << "block 0 stays enciphered";
    EXPECT_EQ(words[4], 0u) << "block 2 is not touched";

    g_cipherCalls = 0;
    g_primitives.blowfishDecipher = DecipherFailsOnThirdBlock;
    EXPECT_EQ(CMiscCommon::_Decrypt(capsule), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Decrypt: BlowFish Decipher failed. i = 2");
    CMiscCommon::_pBlowfish = nullptr;
    g_primitives = kRealPrimitives;
    HeapFree(GetProcessHeap(), 0, capsule);
    HeapFree(GetProcessHeap(), 0, empty);
}

TEST_F(CapsuleTest, ArgumentRule) {
    Session();
    uint8_t buffer[8] = {};
    uint32_t returned = 77;
    struct Row {
        const uint8_t* in;
        uint32_t sizeIn;
        uint8_t* out;
        uint32_t sizeOut;
        uint32_t* pReturned;
    };
    const Row rows[] = {{nullptr, 5, buffer, 8, &returned},
                        {buffer, 0, buffer, 8, &returned},
                        {buffer, 8, nullptr, 8, &returned},
                        {buffer, 8, buffer, 0, &returned},
                        {buffer, 8, buffer, 8, nullptr}};
    for (const Row& row : rows) {
        SetLastError(kSentinel);
        EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(row.in, row.sizeIn, row.out,
                                                            row.sizeOut, row.pReturned));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ErrorText(),
                  "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid Argument(s).");
        EXPECT_EQ(returned, 77u);
    }
    EXPECT_TRUE(driver.requests.empty());
}

TEST_F(CapsuleTest, SessionModeWithoutASessionSendsNothing) {
    uint8_t packet[32] = {};
    uint32_t returned = 77;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Session Not Initialized.");
    EXPECT_EQ(returned, 77u);
    EXPECT_TRUE(driver.requests.empty());
}

TEST_F(CapsuleTest, PlainRequestLayoutWithoutInput) {
    Plain();
    driver.requests.clear();
    CMiscCommon::_sequence = 41;
    uint8_t out[8] = {};
    uint32_t returned = 0;
    CMiscCommon::EncapsuledDeviceIoControl(nullptr, 0, out, 8, &returned);
    ASSERT_EQ(driver.requests.size(), 1u);
    const RecordedRequest& r = driver.requests[0];
    EXPECT_EQ(r.code, IOCTL_MISC_CAPSULE);
    ASSERT_EQ(r.input.size(), 40u);
    EXPECT_EQ(U32(r.input, 0), 24u);  // sizePayload: the inner request
    EXPECT_EQ(U32(r.input, 4), 40u);
    EXPECT_EQ(U32(r.input, 8), 0u);    // no session
    EXPECT_EQ(U32(r.input, 12), 41u);  // sequence
    EXPECT_EQ(U32(r.input, 16), 24u);  // sizeRequest
    EXPECT_EQ(U32(r.input, 20), IOCTL_MISC_FUNCTION);
    EXPECT_EQ(U32(r.input, 24), 0u);
    EXPECT_EQ(U32(r.input, 28), 8u);
    EXPECT_EQ(U32(r.input, 32), 0u);
    EXPECT_EQ(U32(r.input, 36), 0u);
    EXPECT_EQ(r.capacity, 24u);
}

TEST_F(CapsuleTest, SessionRequestOfA32BytePacketIsEnciphered) {
    Session();
    uint8_t packet[32];
    for (int i = 0; i < 32; ++i) {
        packet[i] = static_cast<uint8_t>(i);
    }
    uint32_t returned = 0;
    CMiscCommon::_sequence = 7;
    CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned);
    ASSERT_EQ(driver.requests.size(), 1u);
    std::vector<uint8_t> capsule = driver.requests[0].input;
    ASSERT_EQ(capsule.size(), 72u);
    EXPECT_EQ(U32(capsule, 0), 56u);
    EXPECT_EQ(U32(capsule, 4), 72u);
    EXPECT_EQ(U32(capsule, 8), CMiscCommon::_sessionId);
    EXPECT_EQ(U32(capsule, 68), 0u) << "the last 4 bytes are never enciphered";
    EXPECT_EQ(driver.requests[0].capacity, 48u);
    auto* words = reinterpret_cast<uint32_t*>(capsule.data() + 12);
    for (int i = 0; i < 7; ++i) {
        BlowfishDecipher(CMiscCommon::_pBlowfish, &words[2 * i], &words[2 * i + 1]);
    }
    EXPECT_EQ(U32(capsule, 12), 7u);
    EXPECT_EQ(U32(capsule, 16), 56u);
    EXPECT_EQ(U32(capsule, 20), IOCTL_MISC_FUNCTION);
    EXPECT_EQ(U32(capsule, 24), 32u);
    EXPECT_EQ(U32(capsule, 28), 32u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(capsule[32 + i], i) << "input byte " << i;
    }
    EXPECT_EQ(U32(capsule, 64), 0u);
}

TEST_F(CapsuleTest, ShortRepliesAndTheSequence) {
    Plain();
    uint8_t packet[32] = {};
    uint32_t returned = 5;
    ReplyWith(PlainReply(0, 16, 11, 0));
    CMiscCommon::_sequence = 3;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid "
              "structure returned. size = 11");
    EXPECT_EQ(CMiscCommon::_sequence, 4u) << "bytes came back: the sequence advances";
    EXPECT_EQ(returned, 0u);

    ReplyWith(HostReply{FALSE, ERROR_NOT_READY, {}});
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: Invalid "
              "structure returned. size = 0");
    EXPECT_EQ(CMiscCommon::_sequence, 4u) << "a failure with nothing back does not advance";
}

TEST_F(CapsuleTest, LongerPayloadDeliversWhatFitsWithMoreData) {
    Plain();
    HostReply reply = PlainReply(40, 56, 48, 0x5C);
    ReplyWith(reply);
    uint8_t out[32] = {};
    uint8_t in[32] = {};
    uint32_t returned = 0;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(in, 32, out, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(returned, 32u);
    EXPECT_EQ(out[0], 0x5C);
    EXPECT_EQ(out[31], 0x5C);
}

TEST_F(CapsuleTest, EmptyPayloadGivesTheDevicesResult) {
    Plain();
    uint8_t packet[32] = {9};
    uint32_t returned = 5;
    ReplyWith(PlainReply(0, 16, 16, 0));
    EXPECT_TRUE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(packet[0], 9);
    HostReply failed = PlainReply(0, 16, 16, 0);
    failed.result = FALSE;
    failed.lastError = ERROR_NOT_READY;
    ReplyWith(failed);
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(CapsuleTest, FailedRequestStillDeliversItsPayload) {
    Plain();
    HostReply reply = PlainReply(8, 24, 24, 0x33);
    reply.result = FALSE;
    reply.lastError = ERROR_GEN_FAILURE;
    ReplyWith(reply);
    uint8_t out[8] = {};
    uint32_t returned = 0;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(nullptr, 0, out, 8, &returned));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(out[7], 0x33);
}

// Replies whose own fields disagree with what came back: the bytes to deliver must lie in
// blocks that were both claimed and received; anything else is refused without a copy.
TEST_F(CapsuleTest, RepliesAreDeliveredOnlyFromBlocksThatArrived) {
    Session();
    struct Row {
        uint32_t sizePayload, sizeCapsule;
        size_t bytes;
        DWORD error;  // 0: delivered whole
        uint32_t returned;
    };
    const Row rows[] = {
        {32, 0xFFFFFFF8u, 48, 0, 32},       // a huge capsule size: the walk stops at what arrived
        {40, 48, 48, ERROR_MORE_DATA, 32},  // more than the room: what fits, in claimed blocks
        {40, 56, 48, ERROR_MORE_DATA, 32},  // claims a block beyond the buffer: cut to it
        {0xFFFFFFFFu, 48, 48, ERROR_MORE_DATA, 32},
        {32, 8, 48, ERROR_INVALID_DATA, 0},   // below 16: no payload area at all
        {32, 24, 48, ERROR_INVALID_DATA, 0},  // the bytes to copy lie outside its own blocks
        {40, 40, 48, ERROR_INVALID_DATA, 0},
        {32, 48, 20, ERROR_INVALID_DATA, 0},  // a payload that did not arrive
    };
    // Every block of the reply is the same: its deciphering gives the bytes delivered.
    uint32_t left = 0x11111111, right = 0x11111111;
    ASSERT_TRUE(BlowfishDecipher(CMiscCommon::_pBlowfish, &left, &right));
    const uint8_t first = static_cast<uint8_t>(left), last = static_cast<uint8_t>(right >> 24);
    for (const Row& row : rows) {
        ReplyWith(PlainReply(row.sizePayload, row.sizeCapsule, row.bytes, 0x11));
        uint8_t packet[32] = {};
        uint32_t returned = 0;
        SetLastError(kSentinel);
        const BOOL result =
            CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned);
        SCOPED_TRACE(::testing::Message()
                     << row.sizePayload << " " << row.sizeCapsule << " " << row.bytes);
        EXPECT_EQ(result, row.error == 0 ? TRUE : FALSE);
        EXPECT_EQ(returned, row.returned);
        if (row.error != 0) {
            EXPECT_EQ(GetLastError(), row.error);
        }
        EXPECT_EQ(packet[0], row.returned > 0 ? first : 0);
        EXPECT_EQ(packet[31], row.returned > 0 ? last : 0);
    }
    EXPECT_EQ(HostHeap().liveBlocks, 1u);
}

TEST_F(CapsuleTest, SameBufferCarriesTheInputThenHoldsTheReply) {
    Session();
    uint8_t packet[32] = {0x00, 0x01, 32, 0, 32, 0, 0,    0, 0x90, 0,
                          0,    0,    11, 0, 0,  0, 0x90, 0, 0,    1};
    uint32_t returned = 0;
    ASSERT_TRUE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(returned, 32u);
    EXPECT_EQ(packet[0], 0) << "status";
    EXPECT_EQ(packet[20], 0x03) << "register B";
}

TEST_F(CapsuleTest, SuccessiveCallsCarrySuccessiveSequenceNumbers) {
    Plain();
    driver.requests.clear();
    uint8_t packet[32] = {};
    uint32_t returned = 0;
    CMiscCommon::_sequence = 0xFFFFFFFF;
    ReplyWith(PlainReply(0, 16, 16, 0));
    CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned);
    CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned);
    ASSERT_EQ(driver.requests.size(), 2u);
    EXPECT_EQ(U32(driver.requests[0].input, 12), 0xFFFFFFFFu);
    EXPECT_EQ(U32(driver.requests[1].input, 12), 0u) << "the counter wraps";
}

TEST_F(CapsuleTest, AllocationFailures) {
    Session();
    uint8_t packet[32] = {};
    struct Row {
        int nth;
        const char* text;
    };
    const Row rows[] = {
        {0, "MiscCommon::CMiscCommon::EncapsuledDeviceIoControl: HeapAlloc failed."},
        {1, "MiscCommon::CMiscCommon::_InitializeMessageCapsule: HeapAlloc failed."},
        {2, "MiscCommon::CMiscCommon::_InitializeMessageCapsule: HeapAlloc failed."},
    };
    for (const Row& row : rows) {
        uint32_t returned = 9;
        FailCall("HeapAlloc", row.nth, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
        HostFaults() = nullptr;
        EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(ErrorText(), row.text);
        EXPECT_EQ(returned, 0u);
        EXPECT_EQ(HostHeap().liveBlocks, 1u) << "allocation " << row.nth;
    }
    EXPECT_EQ(driver.requests.size(), 0u);
}

TEST_F(CapsuleTest, CipherFailuresGiveInternalError) {
    Session();
    uint8_t packet[32] = {};
    uint32_t returned = 0;
    g_cipherCalls = 0;
    g_primitives.blowfishEncipher = FailsOnThirdBlock;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INTERNAL_ERROR);
    EXPECT_TRUE(driver.requests.empty());
    g_primitives = kRealPrimitives;

    g_cipherCalls = 0;
    g_primitives.blowfishDecipher = DecipherFailsOnThirdBlock;
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INTERNAL_ERROR);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Decrypt: BlowFish Decipher failed. i = 2");
    g_primitives = kRealPrimitives;
    EXPECT_EQ(HostHeap().liveBlocks, 1u);
}

}  // namespace
