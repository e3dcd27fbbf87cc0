// The real tollvane program against the real quenwick-sim, answered on its standard input.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "tests/support/child_process.h"
#include "tests/support/host_root.h"
#include "tests/support/simulator_process.h"

namespace {

const char kQuestion[] = "Do you wish to disable Chipset DST?";
const char kDone[] = "Chipset DST is now disabled.";
const char kAlready[] = "Chipset DST is already disabled.";
const char kNoDriver[] =
    "Access to Quenwick was unsuccessful.\n\nConfirm whether the Quenwick is available.";
const char kUnsupported[] = "This model is not supported.";
const char kFailed[] = "Failed to change Chipset DST configuration.";
const char kOldWindows[] =
    "This application program does not work properly under the current version of Windows.";
const char kOtherUser[] = "Another user is running the application.";

struct RunResult {
    int exitCode;
    std::string output;
};

class Tollvane : public ::testing::Test {
protected:
    void StartSimulator(std::vector<std::string> args) {
        sim = std::make_unique<SimulatorProcess>(root.Path(), args);
        ASSERT_TRUE(sim->Ready());
    }
    std::vector<std::string> Environment(std::vector<std::string> extra = {}) const {
        std::vector<std::string> env = {"TOLLVANE_HOST_ROOT=" + root.Path(),
                                        "LC_ALL=", "LC_MESSAGES=", "LANG=C",
                                        "XDG_SESSION_ID=test-session"};
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> extra = {}) const {
        return std::make_unique<ChildProcess>(BuiltProgram("tollvane"), std::vector<std::string>{},
                                              Environment(extra));
    }
    RunResult RunWith(const std::string& input, std::vector<std::string> extra = {}) const {
        auto child = Start(extra);
        child->Write(input);
        const int code = child->Finish();
        return {code, child->Output()};
    }
    std::string Stored() const {
        std::ifstream in(root.Path() + "/quenwick/register-b");
        std::string text;
        in >> text;
        return text;
    }

    TemporaryHostRoot root;
    std::unique_ptr<SimulatorProcess> sim;
};

bool Shows(const RunResult& r, const char* text) {
    return r.output.find(text) != std::string::npos;
}

TEST_F(Tollvane, YesSwitchesTheBitOffAndTheNextRunFindsItOff) {
    StartSimulator({"--register-b", "0x03"});
    const RunResult first = RunWith("y\n");
    EXPECT_EQ(first.exitCode, 1) << first.output;
    EXPECT_TRUE(Shows(first, kQuestion));
    EXPECT_TRUE(Shows(first, kDone));
    EXPECT_TRUE(Shows(first, "[Tollvane]"));
    EXPECT_EQ(Stored(), "0x02");
    const RunResult second = RunWith("");
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_TRUE(Shows(second, kAlready));
    EXPECT_FALSE(Shows(second, kQuestion));
}

TEST_F(Tollvane, NoOrNoAnswerWritesNothing) {
    StartSimulator({"--register-b", "0x03"});
    for (const char* answer : {"n\n", "", "maybe\n"}) {
        const RunResult r = RunWith(answer);
        EXPECT_EQ(r.exitCode, 99) << answer;
        EXPECT_TRUE(Shows(r, kQuestion));
        EXPECT_FALSE(Shows(r, kDone));
        EXPECT_EQ(Stored(), "0x03");
    }
    EXPECT_EQ(RunWith("YES\n").exitCode, 1);
}

TEST_F(Tollvane, TheMaskClearsBits0And7AndKeeps1To6) {
    const struct {
        const char* before;
        int exitCode;
        const char* after;
    } rows[] = {{"0xFF", 1, "0x7E"}, {"0x81", 1, "0x00"}, {"0x80", 0, "0x80"}, {"0x7F", 1, "0x7E"}};
    for (const auto& row : rows) {
        StartSimulator({"--register-b", row.before});
        const RunResult r = RunWith("y\n");
        EXPECT_EQ(r.exitCode, row.exitCode) << row.before;
        EXPECT_EQ(Stored(), row.after) << row.before;
        sim.reset();
    }
}

TEST_F(Tollvane, WritesThatFailOrDoNotTake) {
    for (const char* fault : {"write-fails", "write-rejected", "write-ignored"}) {
        StartSimulator({"--register-b", "0x03", "--fault", fault});
        const RunResult r = RunWith("y\n");
        EXPECT_EQ(r.exitCode, 2) << fault;
        EXPECT_TRUE(Shows(r, kFailed)) << fault;
        EXPECT_EQ(Stored(), "0x03") << fault;
        sim.reset();
    }
}

TEST_F(Tollvane, BusyDriverAndPlainDriver) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--busy", "1"}, std::vector<std::string>{"--plain"}}) {
        args.insert(args.end(), {"--register-b", "0x03"});
        StartSimulator(args);
        const RunResult r = RunWith("y\n");
        EXPECT_EQ(r.exitCode, 1) << args[0] << r.output;
        EXPECT_EQ(Stored(), "0x02");
        sim.reset();
    }
}

TEST_F(Tollvane, EveryCheckOfTheEnvironment) {
    const struct {
        std::vector<std::string> simulator;  // empty: no driver at all
        const char* machineFile;
        const char* machineText;
        const char* message;
    } rows[] = {
        {{}, nullptr, nullptr, kNoDriver},
        {{"--fault", "wrong-proof"}, nullptr, nullptr, kNoDriver},
        {{"--driver-version", "1.0.7.0"}, nullptr, nullptr, kUnsupported},
        {{"--model", "qk1234567890"}, nullptr, nullptr, kUnsupported},
        {{"--model", "AB1234567890"}, nullptr, nullptr, kUnsupported},
        {{"--platform-info", "2"}, nullptr, nullptr, kUnsupported},
        {{"--fault", "read-fails"}, nullptr, nullptr, kUnsupported},
        {{"--register-b", "0x03"}, "machine/cpuid-eax", "0x000406C8", kUnsupported},
        {{"--register-b", "0x03"}, "machine/os-version", "6 0 2 1", kOldWindows},
    };
    for (const auto& row : rows) {
        std::remove((root.Path() + "/machine/cpuid-eax").c_str());
        std::remove((root.Path() + "/machine/os-version").c_str());
        if (row.machineFile != nullptr) {
            root.WriteFile(row.machineFile, row.machineText);
        }
        if (!row.simulator.empty()) {
            StartSimulator(row.simulator);
        }
        const RunResult r = RunWith("y\n");
        EXPECT_EQ(r.exitCode, 99) << row.message;
        EXPECT_TRUE(Shows(r, row.message)) << r.output;
        EXPECT_FALSE(Shows(r, kQuestion));
        sim.reset();
    }
}

TEST_F(Tollvane, SecondCopyInTheSameSessionExitsSilently) {
    StartSimulator({"--register-b", "0x03"});
    auto first = Start();
    ASSERT_TRUE(first->WaitForOutput(kQuestion));
    const RunResult second = RunWith("y\n");
    EXPECT_EQ(second.exitCode, 99);
    EXPECT_EQ(second.output, "");
    const RunResult otherSession = RunWith("y\n", {"XDG_SESSION_ID=another-session"});
    EXPECT_EQ(otherSession.exitCode, 99);
    EXPECT_TRUE(Shows(otherSession, kOtherUser));
    first->Write("n\n");
    EXPECT_EQ(first->Finish(), 99);
}

TEST_F(Tollvane, ManyCopiesAtOnceLetExactlyOneThrough) {
    StartSimulator({"--register-b", "0x03"});
    std::vector<std::unique_ptr<ChildProcess>> copies;
    for (int i = 0; i < 8; ++i) {
        copies.push_back(Start());
    }
    int asked = 0, silent = 0;
    for (auto& c : copies) {
        // A copy that passed the guards waits at the question; the others end at once.
        if (c->WaitForOutput(kQuestion, 3000)) {
            ++asked;
        } else {
            EXPECT_EQ(c->Finish(), 99);
            EXPECT_EQ(c->Output(), "");
            ++silent;
        }
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(silent, 7);
    for (auto& c : copies) {
        c->Write("n\n");
        c->Finish();
    }
}

TEST_F(Tollvane, ACopyKilledWhileHoldingTheGuardsDoesNotBlockTheNext) {
    StartSimulator({"--register-b", "0x03"});
    auto first = Start();
    ASSERT_TRUE(first->WaitForOutput(kQuestion));
    first->Kill(SIGKILL);
    EXPECT_EQ(first->Finish(), 128 + SIGKILL);
    const RunResult next = RunWith("y\n");
    EXPECT_EQ(next.exitCode, 1) << next.output;
}

TEST_F(Tollvane, ADriverThatDiesAtAnyStepEndsTheRunWithItsMessage) {
    // Requests of a whole run: probe, three phases, model, platform, read, read, write, read.
    const struct {
        int request;
        const char* message;
        int exitCode;
    } rows[] = {{0, kNoDriver, 99},    {1, kNoDriver, 99},    {2, kNoDriver, 99},
                {3, kNoDriver, 99},    {4, kUnsupported, 99}, {5, kUnsupported, 99},
                {6, kUnsupported, 99}, {7, kUnsupported, 99}, {8, kFailed, 2},
                {9, kFailed, 2},       {10, kDone, 1}};
    for (const auto& row : rows) {
        StartSimulator({"--register-b", "0x03", "--die-at-request", std::to_string(row.request)});
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = RunWith("y\n");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(r.exitCode, row.exitCode) << "dies at request " << row.request << r.output;
        EXPECT_TRUE(Shows(r, row.message)) << "dies at request " << row.request << r.output;
        sim.reset();
    }
}

TEST_F(Tollvane, EachLanguage) {
    StartSimulator({"--register-b", "0x02"});
    const struct {
        const char* locale;
        const char* text;
    } rows[] = {
        {"LANG=fr_FR.UTF-8", "La fonction de gestion d'heure d'été (DST) est déjà désactivée."},
        {"LANG=ja_JP.UTF-8", "すでに時刻ずれ防止が設定されています。"},
        {"LANG=zh_CN.UTF-8", "防止时间偏差的功能已被设置。"},
        {"LANG=de_DE.UTF-8", kAlready},
        {"LC_ALL=fr_FR.UTF-8", "La fonction de gestion d'heure d'été (DST) est déjà désactivée."}};
    for (const auto& row : rows) {
        const RunResult r = RunWith("", {row.locale});
        EXPECT_EQ(r.exitCode, 0) << row.locale;
        EXPECT_TRUE(Shows(r, row.text)) << row.locale << "\n" << r.output;
        EXPECT_TRUE(Shows(r, "[Tollvane]"));
    }
}

}  // namespace
