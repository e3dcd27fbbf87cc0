#include <gtest/gtest.h>

#include <cstring>

#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"

using namespace MiscCommon;
using QuenwickSim::Fault;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class MiscFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverClient();
        HostSleeps().wait = false;
        root.AddDevice("0000", "1.0.8.0");
        driver.Install();
    }
    void TearDown() override { ResetDriverClient(); }

    void Open(bool plain = false) {
        driver.machine.plainMode = plain;
        ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
        ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
        driver.requests.clear();
    }
    // The misc packet inside the recorded capsule request (plain mode only).
    std::vector<uint8_t> SentPacket(size_t index) const {
        const std::vector<uint8_t>& capsule = driver.requests.at(index).input;
        uint32_t sizeIn;
        std::memcpy(&sizeIn, capsule.data() + 24, 4);
        return std::vector<uint8_t>(capsule.begin() + 32, capsule.begin() + 32 + sizeIn);
    }

    TemporaryHostRoot root;
    ScriptedDriver driver{0x83};
};

TEST_F(MiscFunctionsTest, RegisterPacketsAreLaidOutAsTheDriverExpects) {
    Open(true);
    uint8_t status = 0xEE, value = 0;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_SUCCESS);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value, 0x83);
    ASSERT_EQ(CMiscCommon::WriteRtcRegisterB(&status, 0x02), MISC_SUCCESS);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(driver.cmos.LoadRegisterB(), 0x02);

    const std::vector<uint8_t> read = {0x00, 0x01, 32, 0, 32, 0, 0, 0, 0x90, 0, 0, 0, 11, 0, 0, 0,
                                       0x90, 0,    0,  1, 0,  0, 0, 0, 0,    0, 0, 0, 0,  0, 0, 0};
    std::vector<uint8_t> write = read;
    write[0] = 0x01;
    write[18] = 0x01;
    write[20] = 0x02;
    EXPECT_EQ(SentPacket(0), read);
    EXPECT_EQ(SentPacket(1), write);
}

TEST_F(MiscFunctionsTest, BusyAnswerIsRepeatedOnceAfter100Milliseconds) {
    driver.machine.busyReplies = 1;
    Open();
    uint8_t status = 0xEE, value = 0;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_SUCCESS);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value, 0x83);
    EXPECT_EQ(driver.Count(IOCTL_MISC_CAPSULE), 2u);
    EXPECT_EQ(HostSleeps().calls, std::vector<DWORD>{100});
}

TEST_F(MiscFunctionsTest, BusyTwiceReachesTheCallerAsStatus4) {
    driver.machine.busyReplies = 2;
    Open();
    uint8_t packet[32] = {0x00, 0x01, 32, 0, 32, 0};
    ASSERT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_SUCCESS);
    EXPECT_EQ(packet[0], 4);
    EXPECT_EQ(driver.Count(IOCTL_MISC_CAPSULE), 2u);
}

TEST_F(MiscFunctionsTest, BusyThenAFailingRepeatGives2) {
    driver.machine.busyReplies = 1;
    Open();
    driver.replace = [](const RecordedRequest&, size_t index) -> std::optional<HostReply> {
        return index == 1 ? std::optional<HostReply>(HostReply{FALSE, ERROR_NOT_READY, {}})
                          : std::nullopt;
    };
    uint8_t status = 0, value = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::CallMiscFunction: DeviceIoControl failed.");
}

TEST_F(MiscFunctionsTest, OtherStatusIsPassedOnAndLeavesTheValue) {
    driver.machine.faults.insert(Fault::kReadFails);
    Open();
    uint8_t status = 0, value = 0x77;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_SUCCESS);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(value, 0x77);
}

TEST_F(MiscFunctionsTest, CallerErrors) {
    uint8_t packet[32] = {0x00, 0x01, 32, 0, 32, 0};
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_OLD_DRIVER);
    Open();
    EXPECT_EQ(CMiscCommon::CallMiscFunction(nullptr, 32), MISC_MISSING_ARGUMENT);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::CallMiscFunction: pPacket is NULL");
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 0), MISC_MISSING_ARGUMENT);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::CallMiscFunction: sizePacket is '0'");
    // Header sizes beyond the buffer would let the answer overrun it.
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 16), MISC_MISSING_ARGUMENT);
    EXPECT_TRUE(driver.requests.empty());

    FailCall("HeapAlloc", 0, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_NO_MEMORY);
    HostFaults() = nullptr;
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::CallMiscFunction: HeapAlloc failed.");

    ASSERT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_SUCCESS);
    EXPECT_EQ(ErrorText(), "") << "success empties the failure text";
}

TEST_F(MiscFunctionsTest, NoSessionYetFailsWithAccessDenied) {
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    uint8_t status = 0, value = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(MiscFunctionsTest, AnswerLongerThanItsRoomGives2) {
    driver.machine.faults.insert(Fault::kOverlongCapsule);
    Open();
    uint8_t status = 0, value = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
}

TEST_F(MiscFunctionsTest, EmptyAnswerLeavesThePacketAsSent) {
    Open(true);
    driver.replace = [](const RecordedRequest&, size_t) -> std::optional<HostReply> {
        HostReply reply{TRUE, 0, std::vector<uint8_t>(16, 0)};
        reply.output[4] = 16;
        return reply;
    };
    uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0, 0, 0, 0};
    const std::vector<uint8_t> sent(packet, packet + 9);
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 9), MISC_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(packet, packet + 9), sent);
}

TEST_F(MiscFunctionsTest, PlatformInformationComesBackInByte8) {
    driver.machine.platformInformation = 0xFE;
    Open();
    uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0, 0, 0, 0};
    ASSERT_EQ(CMiscCommon::CallMiscFunction(packet, 9), MISC_SUCCESS);
    EXPECT_EQ(packet[0], 0);
    EXPECT_EQ(packet[8], 0xFE);
}

struct ModelRow {
    const char* model;
    int lengthByte;  // -1: as the model gives it
    uint32_t size;
    bool nullBuffer;
    MiscStatus result;
    uint32_t sizeAfter;
    const char* delivered;
};

void PrintTo(const ModelRow& row, std::ostream* os) {
    *os << row.model << " length byte " << row.lengthByte << " size " << row.size;
}

class ModelNumber : public MiscFunctionsTest, public ::testing::WithParamInterface<ModelRow> {};

TEST_P(ModelNumber, ChoosesTheFormByTheLengthByteAndTheRoom) {
    const ModelRow& row = GetParam();
    driver.machine.model = row.model;
    if (row.lengthByte >= 0) {
        driver.machine.modelLengthByte = static_cast<uint8_t>(row.lengthByte);
    }
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);  // no session needed
    uint8_t buffer[260] = {};
    uint32_t size = row.size;
    CMiscCommon::_ClearErrorMessage();
    EXPECT_EQ(CMiscCommon::GetModelNumber(row.nullBuffer ? nullptr : buffer, &size), row.result);
    EXPECT_EQ(size, row.sizeAfter);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), row.delivered);
    EXPECT_EQ(ErrorText(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModelNumber,
    ::testing::Values(
        ModelRow{"QK1234567890", -1, 0, true, MISC_NO_MEMORY, 12, ""},
        ModelRow{"QK34567890ABCDE", -1, 0, true, MISC_NO_MEMORY, 12, ""},
        ModelRow{"QK34567890ABCDE", -1, 259, false, MISC_SUCCESS, 15, "QK34567890ABCDE"},
        ModelRow{"QK34567890ABCDE", -1, 19, false, MISC_SUCCESS, 12, "QK34567890AB"},
        ModelRow{"QK1234567890", -1, 11, false, MISC_NO_MEMORY, 12, ""},
        ModelRow{"QK1234567890", -1, 12, false, MISC_SUCCESS, 12, "QK1234567890"},
        ModelRow{"QK1234567890", 11, 259, false, MISC_PLATFORM_FAILURE, 259, ""},
        ModelRow{"QK1234567890", 20, 259, false, MISC_PLATFORM_FAILURE, 259, ""},
        ModelRow{"QK1234567890", 20, 0, true, MISC_PLATFORM_FAILURE, 0, ""},
        ModelRow{"WV1234567890ABCDEFG", -1, 20, false, MISC_SUCCESS, 19, "WV1234567890ABCDEFG"}));

TEST_F(MiscFunctionsTest, ModelNumberErrors) {
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    uint8_t buffer[32];
    uint32_t size = 5;
    EXPECT_EQ(CMiscCommon::GetModelNumber(buffer, nullptr), MISC_MISSING_ARGUMENT);
    EXPECT_EQ(CMiscCommon::GetModelNumber(nullptr, &size), MISC_MISSING_ARGUMENT);
    EXPECT_TRUE(driver.requests.empty());

    driver.machine.faults.insert(Fault::kShortModel);
    size = 32;
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::GetModelNumber(buffer, &size), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::GetModelNumber: DeviceIoControl failed.");

    driver.replace = [](const RecordedRequest&, size_t) -> std::optional<HostReply> {
        return HostReply{FALSE, ERROR_NOT_READY, {}};
    };
    EXPECT_EQ(CMiscCommon::GetModelNumber(buffer, &size), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

}  // namespace
