#include "tests/app/flow_support.h"

#include <cstring>

#include "app/decision_flow.h"
#include "app/message_box.h"
#include "driver_client/ioctl_codes.h"
#include "platform/host/host_root.h"
#include "tests/support/driver_client_state.h"

FlowFixture::FlowFixture(uint8_t registerB, const char* version) : driver(registerB) {
    ResetDriverClient();
    HostSleeps().wait = false;
    if (version != nullptr) {
        root.AddDevice("0000", version);
    }
    driver.Install();
}

FlowFixture::~FlowFixture() {
    ResetDriverClient();
}

FlowOutcome FlowFixture::Run(int answer) {
    FlowOutcome outcome;
    HostBoxes().answer = [this, answer](const HostMessageBox& box) {
        if ((box.type & 0xF) != MB_YESNO) {
            return IDOK;
        }
        if (onQuestion) {
            onQuestion();
        }
        return answer;
    };
    HostClosed().clear();
    outcome.exitCode = RunDecisionFlow(GetModuleHandleW(nullptr));
    for (const HostMessageBox& box : HostBoxes().shown) {
        outcome.boxes.push_back({Utf16ToUtf8(box.caption), Utf16ToUtf8(box.text), box.type});
    }
    outcome.closed = HostClosed();
    HostBoxes() = {};
    return outcome;
}

std::string FlowFixture::Message(UINT id) {
    WCHAR text[kTextCharacters] = {};
    LoadStringW(nullptr, id, text, kTextCharacters);
    return Utf16ToUtf8(text);
}

// The misc packets the flow sent, seen through the driver's own answers: in plain mode they
// travel in the clear, so the fixture reads them from the recorded capsules.
static std::vector<std::vector<uint8_t>> SentPackets(const ScriptedDriver& d) {
    std::vector<std::vector<uint8_t>> packets;
    if (!d.machine.plainMode) {
        return packets;  // enciphered: nothing to read
    }
    for (const RecordedRequest& r : d.requests) {
        uint32_t sizeIn = 0;
        if (r.input.size() >= 36) {
            std::memcpy(&sizeIn, r.input.data() + 24, 4);
        }
        if (r.code == MiscCommon::IOCTL_MISC_CAPSULE && sizeIn <= r.input.size() - 36) {
            packets.emplace_back(r.input.begin() + 32, r.input.begin() + 32 + sizeIn);
        }
    }
    return packets;
}

std::vector<uint8_t> FlowFixture::Writes() const {
    std::vector<uint8_t> writes;
    for (const auto& p : SentPackets(driver)) {
        if (p.size() == 32 && p[0] == 0x01 && p[1] == 0x01) {
            writes.push_back(p[20]);
        }
    }
    return writes;
}

size_t FlowFixture::Reads() const {
    size_t reads = 0;
    for (const auto& p : SentPackets(driver)) {
        reads += p.size() == 32 && p[0] == 0x00 && p[1] == 0x01;
    }
    return reads;
}
