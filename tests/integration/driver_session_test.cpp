// The real driver client against the real quenwick-sim, over the device socket.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <fstream>

#include "driver_client/misc_common.h"
#include "platform/host/seam.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/simulator_process.h"

using MiscCommon::CMiscCommon;
using MiscCommon::MiscStatus;

namespace {

class DriverSession : public ::testing::Test {
protected:
    void SetUp() override { ResetDriverClient(); }
    void TearDown() override { ResetDriverClient(); }

    std::unique_ptr<SimulatorProcess> Start(std::vector<std::string> args) {
        auto sim = std::make_unique<SimulatorProcess>(root.Path(), args);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }
    std::string StoredRegister() {
        std::ifstream in(root.Path() + "/quenwick/register-b");
        std::string text;
        in >> text;
        return text;
    }
    static uint8_t PlatformInformation(uint32_t* result) {
        uint8_t packet[9] = {0x1A, 0x02, 8, 0, 9, 0, 0, 0, 0};
        *result = CMiscCommon::CallMiscFunction(packet, sizeof packet);
        return packet[0] == 0 ? packet[8] : 0xFF;
    }

    TemporaryHostRoot root;
};

TEST_F(DriverSession, FullSessionReadsWritesAndVerifiesRegisterB) {
    auto sim = Start({"--register-b", "0x83", "--model", "QK1234567890", "--platform-info", "5"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u) << ErrorText();
    EXPECT_EQ(CMiscCommon::_versionBuild, 8u);
    ASSERT_EQ(CMiscCommon::_Initialize(), 0u) << ErrorText();
    EXPECT_NE(CMiscCommon::_pBlowfish, nullptr);
    EXPECT_EQ(CMiscCommon::_sequence, 0u);

    uint8_t model[260] = {};
    uint32_t size = 259;
    ASSERT_EQ(CMiscCommon::GetModelNumber(model, &size), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(model), size), "QK1234567890");

    uint32_t result = 0;
    EXPECT_EQ(PlatformInformation(&result), 5);
    EXPECT_EQ(result, 0u);

    uint8_t status = 0xEE, value = 0;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u) << ErrorText();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value, 0x83);
    ASSERT_EQ(CMiscCommon::WriteRtcRegisterB(&status, value & 0x7E), 0u);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u);
    EXPECT_EQ(value, 0x02);
    EXPECT_EQ(CMiscCommon::_sequence, 4u);
    CMiscCommon::CloseDriver();
    EXPECT_EQ(StoredRegister(), "0x02");
}

TEST_F(DriverSession, PlainModeReadsAndWritesInTheClear) {
    auto sim = Start({"--plain", "--register-b", "0x03"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    ASSERT_EQ(CMiscCommon::_Initialize(), 0u);
    EXPECT_FALSE(CMiscCommon::_bEncrypt);
    EXPECT_EQ(CMiscCommon::_pBlowfish, nullptr);
    uint8_t status = 0xEE, value = 0;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u) << ErrorText();
    EXPECT_EQ(value, 0x03);
    ASSERT_EQ(CMiscCommon::WriteRtcRegisterB(&status, 0x02), 0u);
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u);
    EXPECT_EQ(value, 0x02);
}

TEST_F(DriverSession, DriverOlderThan108IsOpenedButGated) {
    auto sim = Start({"--driver-version", "1.0.7.0"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    EXPECT_FALSE(CMiscCommon::DriverVersionGate());
    EXPECT_EQ(CMiscCommon::_Initialize(), 10u);
    uint8_t model[32];
    uint32_t size = 31;
    EXPECT_EQ(CMiscCommon::GetModelNumber(model, &size), 10u);
}

struct FaultRow {
    const char* fault;
    MiscStatus initialize;  // the handshake's result
    MiscStatus read;        // then the first read's result, when the handshake passed
    uint8_t readStatus;
    MiscStatus write;  // then a write of 0x02
    uint8_t writeStatus;
    const char* stored;  // register B afterwards
};

void PrintTo(const FaultRow& row, std::ostream* os) {
    *os << row.fault;
}

class SimulatorFault : public DriverSession, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(SimulatorFault, ReachesTheClientAsItsFailure) {
    const FaultRow& row = GetParam();
    auto sim = Start({"--fault", row.fault, "--register-b", "0x03"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    ASSERT_EQ(CMiscCommon::_Initialize(), row.initialize) << ErrorText();
    if (row.initialize == 0) {
        uint8_t status = 0xEE, value = 0;
        EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), row.read) << ErrorText();
        if (row.read == 0) {
            EXPECT_EQ(status, row.readStatus);
        }
        status = 0xEE;
        EXPECT_EQ(CMiscCommon::WriteRtcRegisterB(&status, 0x02), row.write) << ErrorText();
        if (row.write == 0) {
            EXPECT_EQ(status, row.writeStatus);
        }
    }
    CMiscCommon::CloseDriver();
    EXPECT_EQ(StoredRegister(), row.stored);
}

INSTANTIATE_TEST_SUITE_P(EveryFault, SimulatorFault,
                         ::testing::Values(FaultRow{"wrong-proof", 6, 0, 0, 0, 0, "0x03"},
                                           FaultRow{"wrong-confirmation", 2, 0, 0, 0, 0, "0x03"},
                                           FaultRow{"short-ini1", 2, 0, 0, 0, 0, "0x03"},
                                           FaultRow{"short-ini2", 2, 0, 0, 0, 0, "0x03"},
                                           FaultRow{"short-ini3", 2, 0, 0, 0, 0, "0x03"},
                                           FaultRow{"short-capsule", 0, 2, 0, 2, 0, "0x02"},
                                           FaultRow{"overlong-capsule", 0, 2, 0, 2, 0, "0x02"},
                                           FaultRow{"read-fails", 0, 0, 1, 0, 0, "0x02"},
                                           FaultRow{"write-fails", 0, 0, 0, 0, 1, "0x03"},
                                           FaultRow{"write-rejected", 0, 0, 0, 2, 0, "0x03"},
                                           FaultRow{"write-ignored", 0, 0, 0, 0, 0, "0x03"}));

TEST_F(DriverSession, ShortModelReplyFailsTheModelRead) {
    auto sim = Start({"--fault", "short-model"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    uint8_t model[32];
    uint32_t size = 31;
    EXPECT_EQ(CMiscCommon::GetModelNumber(model, &size), 2u);
}

TEST_F(DriverSession, LongModelNumber) {
    auto sim = Start({"--model", "JX34567890ABCDEFG"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    uint8_t model[260] = {};
    uint32_t size = 259;
    ASSERT_EQ(CMiscCommon::GetModelNumber(model, &size), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(model), size), "JX34567890ABCDEFG");
}

TEST_F(DriverSession, BusyDriverIsAskedAgain) {
    auto sim = Start({"--busy", "1", "--register-b", "0x07"});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    ASSERT_EQ(CMiscCommon::_Initialize(), 0u);
    uint8_t status = 0xEE, value = 0;
    ASSERT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(value, 0x07);
    EXPECT_EQ(CMiscCommon::_sequence, 2u);
}

TEST_F(DriverSession, OutOfOrderSequenceIsRefusedWithoutAdvancing) {
    auto sim = Start({});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    ASSERT_EQ(CMiscCommon::_Initialize(), 0u);
    CMiscCommon::_sequence = 5;
    uint8_t status = 0, value = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 2u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    EXPECT_EQ(CMiscCommon::_sequence, 5u);
    CMiscCommon::_sequence = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), 0u);
}

TEST_F(DriverSession, TheDeviceOpensWithoutSharing) {
    auto sim = Start({});
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u);
    const std::string path =
        root.Path() + "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/device";
    const std::u16string wide(path.begin(), path.end());
    SetLastError(0);
    EXPECT_EQ(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

TEST_F(DriverSession, AClientKilledHalfWayDoesNotStopTheDriver) {
    auto sim = Start({"--register-b", "0x03"});
    const pid_t child = fork();
    if (child == 0) {
        // Opens a session, sends half a request frame, and dies without closing anything.
        if (CMiscCommon::OpenDriver() == 0 && CMiscCommon::_Initialize() == 0) {
            kill(getpid(), SIGKILL);
        }
        _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child did not reach its session";
    ASSERT_EQ(CMiscCommon::OpenDriver(), 0u) << ErrorText();
    ASSERT_EQ(CMiscCommon::_Initialize(), 0u);
    uint8_t reg = 0, value = 0;
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&reg, &value), 0u);
    EXPECT_EQ(value, 0x03);
}

}  // namespace
