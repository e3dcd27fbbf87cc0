#include <gtest/gtest.h>

#include "app/resource.h"
#include "driver_client/ioctl_codes.h"
#include "tests/app/flow_support.h"

using QuenwickSim::Fault;

namespace {

const char kSession[] = "mutex:Halvenor_Tollvane_Execute_Mutex";
const char kGlobal[] = "mutex:Global\\Halvenor_Tollvane_Global_Execute_Mutex";

void ExpectBoxes(const FlowOutcome& o, const std::vector<std::pair<UINT, UINT>>& expected) {
    ASSERT_EQ(o.boxes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(o.boxes[i].text, FlowFixture::Message(expected[i].first)) << "box " << i;
        EXPECT_EQ(o.boxes[i].style, expected[i].second) << "box " << i;
        EXPECT_EQ(o.boxes[i].caption, "Tollvane") << "box " << i;
    }
}

// Replaces the answer to the nth register read (0-based) with status 1.
void FailRead(ScriptedDriver& d, size_t nth) {
    auto reads = std::make_shared<size_t>(0);
    d.replace = [&d, nth, reads](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
        if (r.code != MiscCommon::IOCTL_MISC_CAPSULE || r.input.size() < 34 || r.input[32] != 0 ||
            r.input[33] != 1) {
            return std::nullopt;
        }
        HostReply reply = d.DriverAnswer(r);
        if ((*reads)++ == nth) {
            reply.output[12] = 1;
        }
        return reply;
    };
}

class Flow : public ::testing::Test {
protected:
    Flow() { f.driver.machine.plainMode = true; }
    FlowFixture f;
};

TEST_F(Flow, BitSetAndYesWritesTheSecondReadMaskedAndConfirms) {
    f.driver.cmos.StoreRegisterB(0x83);
    const FlowOutcome o = f.Run(IDYES);
    EXPECT_EQ(o.exitCode, 1);
    ExpectBoxes(o, {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_NOW_DISABLED, MB_OK}});
    EXPECT_EQ(f.Writes(), std::vector<uint8_t>{0x02});
    EXPECT_EQ(f.Reads(), 3u);
    EXPECT_EQ(o.closed, (std::vector<std::string>{kGlobal, kSession}));
}

TEST_F(Flow, EveryValueOfRegisterBIsWrittenAsItsSecondReadAnd0x7E) {
    for (int v = 0; v < 256; ++v) {
        FlowFixture each(static_cast<uint8_t>(v));
        each.driver.machine.plainMode = true;
        const FlowOutcome o = each.Run(IDYES);
        if (v & 1) {
            EXPECT_EQ(each.Writes(), std::vector<uint8_t>{static_cast<uint8_t>(v & 0x7E)}) << v;
            EXPECT_EQ(o.exitCode, 1) << v;
        } else {
            EXPECT_TRUE(each.Writes().empty()) << v;
            EXPECT_EQ(o.exitCode, 0) << v;
        }
    }
}

TEST_F(Flow, BitClearWritesNothing) {
    f.driver.cmos.StoreRegisterB(0x02);
    const FlowOutcome o = f.Run();
    EXPECT_EQ(o.exitCode, 0);
    ExpectBoxes(o, {{IDS_ALREADY_DISABLED, MB_OK}});
    EXPECT_TRUE(f.Writes().empty());
    EXPECT_EQ(o.closed, (std::vector<std::string>{kGlobal, kSession}));
}

TEST_F(Flow, NoWritesNothingAndReadsNoMore) {
    const FlowOutcome o = f.Run(IDNO);
    EXPECT_EQ(o.exitCode, 99);
    ExpectBoxes(o, {{IDS_CONFIRM_DISABLE, MB_YESNO}});
    EXPECT_TRUE(f.Writes().empty());
    EXPECT_EQ(f.Reads(), 1u);
}

TEST_F(Flow, TheWriteUsesTheSecondReadEvenWhenItsBit0IsClear) {
    f.driver.cmos.StoreRegisterB(0x03);
    f.onQuestion = [this] { f.driver.cmos.StoreRegisterB(0xC4); };
    const FlowOutcome o = f.Run(IDYES);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(f.Writes(), std::vector<uint8_t>{0x44});
}

struct FailureRow {
    const char* name;
    std::function<void(FlowFixture&)> arrange;
    std::vector<std::pair<UINT, UINT>> boxes;
    int exitCode;
};

void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

class FlowFailure : public Flow, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FlowFailure, ShowsItsMessageAndExitsWithItsCode) {
    const FailureRow& row = GetParam();
    row.arrange(f);
    const FlowOutcome o = f.Run(IDYES);
    EXPECT_EQ(o.exitCode, row.exitCode);
    ExpectBoxes(o, row.boxes);
    EXPECT_EQ(o.closed, (std::vector<std::string>{kGlobal, kSession}));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, FlowFailure,
    ::testing::Values(
        FailureRow{"environment",
                   [](FlowFixture& x) { x.driver.machine.platformInformation = 2; },
                   {{IDS_MODEL_NOT_SUPPORTED, MB_OK}},
                   99},
        FailureRow{"firstRead",
                   [](FlowFixture& x) { FailRead(x.driver, 0); },
                   {{IDS_MODEL_NOT_SUPPORTED, MB_OK}},
                   99},
        FailureRow{"secondRead",
                   [](FlowFixture& x) { FailRead(x.driver, 1); },
                   {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_MODEL_NOT_SUPPORTED, MB_OK}},
                   99},
        FailureRow{"writeStatus",
                   [](FlowFixture& x) { x.driver.machine.faults.insert(Fault::kWriteFails); },
                   {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_CHANGE_FAILED, MB_OK}},
                   2},
        FailureRow{"writeRequest",
                   [](FlowFixture& x) { x.driver.machine.faults.insert(Fault::kWriteRejected); },
                   {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_CHANGE_FAILED, MB_OK}},
                   2},
        FailureRow{"thirdRead",
                   [](FlowFixture& x) { FailRead(x.driver, 2); },
                   {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_CHANGE_FAILED, MB_OK}},
                   2},
        FailureRow{"writeDoesNotTake",
                   [](FlowFixture& x) { x.driver.machine.faults.insert(Fault::kWriteIgnored); },
                   {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_CHANGE_FAILED, MB_OK}},
                   2}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST(FlowGuards, SessionMutexNotCreatedExitsSilently) {
    FlowFixture f;
    FailCall("CreateMutexW", 0, ERROR_ACCESS_DENIED);
    const FlowOutcome o = f.Run();
    EXPECT_EQ(o.exitCode, 99);
    EXPECT_TRUE(o.boxes.empty());
    EXPECT_TRUE(o.closed.empty());
    EXPECT_TRUE(f.driver.requests.empty());
}

TEST(FlowGuards, SecondCopyInTheSameSessionExitsSilently) {
    FlowFixture f;
    HANDLE held = CreateMutexW(nullptr, FALSE, WSTR("Halvenor_Tollvane_Execute_Mutex"));
    const FlowOutcome o = f.Run();
    CloseHandle(held);
    EXPECT_EQ(o.exitCode, 99);
    EXPECT_TRUE(o.boxes.empty());
    EXPECT_EQ(o.closed, std::vector<std::string>{kSession});
    EXPECT_EQ(f.driver.opens, 0);
}

TEST(FlowGuards, CopyInAnotherSessionShows108) {
    FlowFixture f;
    HANDLE held =
        CreateMutexW(nullptr, FALSE, WSTR("Global\\Halvenor_Tollvane_Global_Execute_Mutex"));
    const FlowOutcome o = f.Run();
    CloseHandle(held);
    EXPECT_EQ(o.exitCode, 99);
    ExpectBoxes(o, {{IDS_ANOTHER_USER, MB_OK}});
    EXPECT_EQ(o.closed, (std::vector<std::string>{kGlobal, kSession}));
}

TEST(FlowGuards, GlobalMutexNotCreatedShows108AndClosesTheSessionOne) {
    FlowFixture f;
    FailCall("CreateMutexW", 1, ERROR_ACCESS_DENIED);
    const FlowOutcome o = f.Run();
    EXPECT_EQ(o.exitCode, 99);
    ExpectBoxes(o, {{IDS_ANOTHER_USER, MB_OK}});
    EXPECT_EQ(o.closed, std::vector<std::string>{kSession});
}

TEST(FlowGuards, MissingTitleLeavesTheCaptionEmpty) {
    FlowFixture f(0x02);
    FailCall("LoadStringW", 0, ERROR_RESOURCE_NAME_NOT_FOUND);
    const FlowOutcome o = f.Run();
    ASSERT_EQ(o.boxes.size(), 1u);
    EXPECT_EQ(o.boxes[0].caption, "");
    EXPECT_EQ(o.boxes[0].text, FlowFixture::Message(IDS_ALREADY_DISABLED));
    EXPECT_EQ(o.exitCode, 0);
}

TEST(FlowSession, TheWholeFlowOverAnEncipheredSession) {
    FlowFixture f(0x03);
    const FlowOutcome o = f.Run(IDYES);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(f.driver.cmos.LoadRegisterB(), 0x02);
    ExpectBoxes(o, {{IDS_CONFIRM_DISABLE, MB_YESNO}, {IDS_NOW_DISABLED, MB_OK}});
}

}  // namespace
