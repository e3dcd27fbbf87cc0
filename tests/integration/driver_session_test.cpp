// The real driver client against the real quenwick-sim, over the device socket.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "driver_client/misc_common.h"
#include "platform/host/seam.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/simulator_process.h"

using MiscCommon::CMiscCommon;

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

}  // namespace
