#include "app/environment_check.h"

#include <gtest/gtest.h>

#include "app/resource.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "platform/host/host_root.h"
#include "tests/app/flow_support.h"

using MiscCommon::CMiscCommon;

namespace {

struct Check {
    bool passed;
    std::vector<ShownBox> boxes;
};

Check RunCheck(FlowFixture&) {
    HostBoxes().answer = [](const HostMessageBox&) { return IDOK; };
    Check c{CheckEnvironment(), {}};
    for (const HostMessageBox& box : HostBoxes().shown) {
        c.boxes.push_back({"", Utf16ToUtf8(box.text), box.type});
    }
    HostBoxes() = {};
    return c;
}

void ExpectMessage(const Check& c, UINT id, UINT style) {
    EXPECT_FALSE(c.passed);
    ASSERT_EQ(c.boxes.size(), 1u);
    EXPECT_EQ(c.boxes[0].text, FlowFixture::Message(id));
    EXPECT_EQ(c.boxes[0].style, style);
}

TEST(EnvironmentCheck, SupportedMachinePassesSilentlyAndLeavesTheSessionOpen) {
    FlowFixture f;
    const Check c = RunCheck(f);
    EXPECT_TRUE(c.passed);
    EXPECT_TRUE(c.boxes.empty());
    EXPECT_NE(CMiscCommon::_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_NE(CMiscCommon::_pBlowfish, nullptr);
}

TEST(EnvironmentCheck, NoDriverGives104WithTheErrorIconEvenOnXp) {
    FlowFixture f(0x03, nullptr);
    f.root.WriteFile("machine/os-version", "5 1 2 1");
    ExpectMessage(RunCheck(f), IDS_DRIVER_UNAVAILABLE, MB_ICONERROR);
}

TEST(EnvironmentCheck, FailedHandshakeGives104) {
    FlowFixture f;
    f.driver.machine.faults.insert(QuenwickSim::Fault::kWrongProof);
    ExpectMessage(RunCheck(f), IDS_DRIVER_UNAVAILABLE, MB_ICONERROR);
}

TEST(EnvironmentCheck, DriverOlderThan108SkipsTheHandshakeAndGives105) {
    FlowFixture f(0x03, "1.0.7.0");
    ExpectMessage(RunCheck(f), IDS_MODEL_NOT_SUPPORTED, MB_OK);
    EXPECT_EQ(f.driver.Count(MiscCommon::IOCTL_MISC_SESSION), 0u);
    EXPECT_EQ(f.driver.Count(MiscCommon::IOCTL_MISC_GET_MODEL), 0u);
}

TEST(EnvironmentCheck, NewerDriversRunTheHandshake) {
    for (const char* version : {"1.0.8", "1.1.0.0", "2.0"}) {
        FlowFixture f(0x03, version);
        EXPECT_TRUE(RunCheck(f).passed) << version;
        EXPECT_EQ(f.driver.Count(MiscCommon::IOCTL_MISC_SESSION), 4u) << version;
    }
}

TEST(EnvironmentCheck, ModelPrefixes) {
    const struct {
        const char* model;
        bool accepted;
    } rows[] = {{"QK1234567890", true},
                {"JX0000000000", true},
                {"WV1", true},
                {"WV9876543210ABCDE", true},
                {"qk1234567890", false},
                {"XQK123456789", false},
                {"Q", false},
                {"", false},
                {"JW1234567890", false}};
    for (const auto& row : rows) {
        FlowFixture f;
        f.driver.machine.model = row.model;
        const Check c = RunCheck(f);
        if (row.accepted) {
            EXPECT_TRUE(c.passed) << row.model;
        } else {
            ExpectMessage(c, IDS_MODEL_NOT_SUPPORTED, MB_OK);
        }
    }
}

TEST(EnvironmentCheck, UnreadableModelNumberGives105) {
    FlowFixture f;
    f.driver.machine.faults.insert(QuenwickSim::Fault::kShortModel);
    ExpectMessage(RunCheck(f), IDS_MODEL_NOT_SUPPORTED, MB_OK);
}

TEST(EnvironmentCheck, PlatformInformation) {
    for (int value : {0, 2, 3, 255}) {
        FlowFixture f;
        f.driver.machine.platformInformation = static_cast<uint8_t>(value);
        const Check c = RunCheck(f);
        if (value >= 3) {
            EXPECT_TRUE(c.passed) << value;
        } else {
            ExpectMessage(c, IDS_MODEL_NOT_SUPPORTED, MB_OK);
        }
    }
}

TEST(EnvironmentCheck, PlatformInformationWithAFailureStatusGives105) {
    FlowFixture f;
    f.driver.machine.platformInformation = 5;
    // In plain mode the answer travels in the clear, so its status can be changed on the way.
    f.driver.machine.plainMode = true;
    f.driver.replace = [&f](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
        HostReply reply = f.driver.DriverAnswer(r);
        if (r.code == MiscCommon::IOCTL_MISC_CAPSULE && reply.output.size() > 20 &&
            reply.output[12] == 0 && reply.output[12 + 8] == 5) {
            reply.output[12] = 1;
        }
        return reply;
    };
    ExpectMessage(RunCheck(f), IDS_MODEL_NOT_SUPPORTED, MB_OK);
}

TEST(EnvironmentCheck, ExcludedProcessorsWhateverTheirStepping) {
    const struct {
        const char* eax;
        bool excluded;
    } rows[] = {{"0x000106C2", true},  {"0x000106CA", true}, {"0x00030673", true},
                {"0x000406C4", true},  {"0xF00106C2", true}, {"0x000306A9", false},
                {"0x000206C2", false}, {"0x00100000", false}};
    for (const auto& row : rows) {
        FlowFixture f;
        f.root.WriteFile("machine/cpuid-eax", row.eax);
        const Check c = RunCheck(f);
        if (row.excluded) {
            ExpectMessage(c, IDS_MODEL_NOT_SUPPORTED, MB_OK);
        } else {
            EXPECT_TRUE(c.passed) << row.eax;
        }
    }
}

TEST(EnvironmentCheck, WindowsVersionIsTestedLast) {
    const struct {
        const char* version;
        bool passes;
    } rows[] = {{"6 0 2 1", false}, {"6 0 2 3", false}, {"5 1 2 1", false}, {"garbage", false},
                {"6 1 2 1", true},  {"6 1 2 3", true},  {"10 0 2 1", true}};
    for (const auto& row : rows) {
        FlowFixture f;
        f.root.WriteFile("machine/os-version", row.version);
        const Check c = RunCheck(f);
        if (row.passes) {
            EXPECT_TRUE(c.passed) << row.version;
        } else {
            ExpectMessage(c, IDS_WINDOWS_TOO_OLD, MB_OK);
        }
    }
}

}  // namespace
