// Fails each platform call of a whole run in turn, and checks that every such run ends as the
// utility promises: a consistent message and exit code, nothing written that should not be,
// no heap block or handle left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/resource.h"
#include "tests/app/flow_support.h"
#include "tests/support/driver_client_state.h"

namespace {

// The calls of one run, by operation name, in order.
std::vector<std::string> CallsOfARun(bool plain) {
    FlowFixture f(0x83);
    f.driver.machine.plainMode = plain;
    auto calls = std::make_shared<std::vector<std::string>>();
    HostFaults() = [calls](const char* operation, DWORD*) {
        calls->push_back(operation);
        return false;
    };
    const FlowOutcome o = f.Run(IDYES);
    HostFaults() = nullptr;
    EXPECT_EQ(o.exitCode, 1);
    return *calls;
}

void Sweep(bool plain) {
    const std::vector<std::string> calls = CallsOfARun(plain);
    ASSERT_GT(calls.size(), 20u);
    std::map<std::string, int> seen;
    for (size_t k = 0; k < calls.size(); ++k) {
        const std::string& operation = calls[k];
        const int occurrence = seen[operation]++;
        SCOPED_TRACE("call " + std::to_string(k) + ": " + operation + " #" +
                     std::to_string(occurrence));
        FlowOutcome o;
        std::vector<uint8_t> writes;
        size_t liveBlocks = 0, openHandles = 0;
        int unwiped = 0;
        {
            FlowFixture f(0x83);
            f.driver.machine.plainMode = plain;
            // Blocks of the sizes that hold key material: the scratch block and a cipher.
            HostHeap().onFree = [&unwiped](const uint8_t* block, SIZE_T size) {
                if (size == 264 || size == 4168) {
                    unwiped += std::any_of(block, block + size, [](uint8_t b) { return b != 0; });
                }
            };
            FailCall(operation, occurrence, ERROR_GEN_FAILURE);
            o = f.Run(IDYES);
            HostFaults() = nullptr;
            writes = f.Writes();
            ResetDriverClient();
            liveBlocks = HostHeap().liveBlocks;
            openHandles = HostOpenHandles();
        }
        EXPECT_EQ(liveBlocks, 0u);
        EXPECT_EQ(openHandles, 0u);
        EXPECT_EQ(unwiped, 0) << "a key-bearing block was freed unwiped";

        std::vector<std::string> texts;
        for (const ShownBox& b : o.boxes) {
            texts.push_back(b.text);
        }
        const auto shown = [&](UINT id) {
            return std::find(texts.begin(), texts.end(), FlowFixture::Message(id)) != texts.end();
        };
        const bool asked = shown(IDS_CONFIRM_DISABLE);
        if (operation == "CreateMutexW") {
            EXPECT_EQ(o.exitCode, 99);
            EXPECT_EQ(o.boxes.size(), occurrence == 0 ? 0u : 1u);
            continue;
        }
        if (operation == "GetVersionExW") {
            EXPECT_EQ(o.exitCode, 99);
            EXPECT_TRUE(shown(IDS_WINDOWS_TOO_OLD));
            continue;
        }
        if (operation == "LoadStringW") {
            // A text that cannot be loaded leaves its box (or the caption) empty; nothing else
            // changes.
            EXPECT_EQ(o.exitCode, 1);
            continue;
        }
        // Every other failure is the driver's: before the question it ends the run with 104 or
        // 105, after it with 105 (second read) or 106; a failed probe or retry may pass.
        switch (o.exitCode) {
            case 1:
                EXPECT_TRUE(shown(IDS_NOW_DISABLED));
                EXPECT_EQ(writes.size(), plain ? 1u : 0u);
                break;
            case 2:
                EXPECT_TRUE(asked);
                EXPECT_TRUE(shown(IDS_CHANGE_FAILED));
                break;
            case 99:
                EXPECT_TRUE(shown(IDS_DRIVER_UNAVAILABLE) || shown(IDS_MODEL_NOT_SUPPORTED));
                EXPECT_TRUE(writes.empty());
                if (shown(IDS_DRIVER_UNAVAILABLE)) {
                    EXPECT_FALSE(asked);
                    EXPECT_EQ(o.boxes.back().style, static_cast<UINT>(MB_ICONERROR));
                }
                break;
            default:
                ADD_FAILURE() << "exit code " << o.exitCode;
        }
        if (plain) {
            EXPECT_LE(writes.size(), 1u);
            for (uint8_t w : writes) {
                EXPECT_EQ(w, 0x02);
            }
        }
    }
}

TEST(FaultSweep, EveryPlatformCallOfAPlainRun) {
    Sweep(true);
}
TEST(FaultSweep, EveryPlatformCallOfASessionRun) {
    Sweep(false);
}

}  // namespace
