// Plays the Quenwick driver with the fuzzer's bytes: the DriverVersion text, the answer to each
// open and every reply the client reads come from the input, and the whole utility runs on them.
// Input: version text, then per request: 1 control byte (bit 0 result, bits 1-2 how the reply
// length is chosen), the last error, the length, the bytes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/decision_flow.h"
#include "app/message_box.h"
#include "driver_client/primitives.h"
#include "platform/host/seam.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/driver_client_state.h"

namespace {

std::string& Root() {
    static std::string root = [] {
        char pattern[] = "/tmp/tollvane-fuzz-XXXXXX";
        std::string path = mkdtemp(pattern);
        setenv("TOLLVANE_HOST_ROOT", path.c_str(), 1);
        std::filesystem::create_directories(path +
                                            "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000");
        return path;
    }();
    return root;
}

// The group arithmetic takes milliseconds and reads nothing from the driver but its public value:
// stand-ins keep the fuzzer on the parsing of replies.
bool QuickPow2mod(uint32_t* out, uint32_t outWords, const uint32_t* exp, uint32_t, const uint32_t*,
                  uint32_t) {
    for (uint32_t i = 0; i + 1 < outWords; ++i) {
        out[i] = exp[i % 3] ^ (0x9E3779B9u * (i + 1));
    }
    return true;
}
bool QuickPowmod(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
                 const uint32_t* exp, uint32_t, const uint32_t*, uint32_t) {
    if (baseWords > 0 && (base[baseWords - 1] & 0x80000000u)) {
        return false;  // as powmod refuses a negative base
    }
    for (uint32_t i = 0; i + 1 < outWords; ++i) {
        out[i] = base[i % baseWords] ^ exp[i % 3];
    }
    return true;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = Root();
    FuzzInput in(data, size);
    ResetDriverClient();
    MiscCommon::g_primitives.pow2mod = QuickPow2mod;
    MiscCommon::g_primitives.powmod = QuickPowmod;
    HostSleeps().wait = false;
    std::ofstream(root + "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/DriverVersion",
                  std::ios::trunc)
        << in.Text(140);

    const bool answerYes = in.Byte() & 1;
    int questions = 0;
    // Register writes on the wire (a busy answer makes the client send one twice), and the value
    // the last register read delivered, both seen in the clear in plain mode.
    std::vector<uint8_t> writes;
    int lastRead = -1;
    bool readPending = false;
    HostDeviceScript().open = [&in](const std::u16string&) -> DWORD {
        return in.Byte() < 240 ? 0 : in.U32();
    };
    HostDeviceScript().request = [&](DWORD code, const std::vector<uint8_t>& input,
                                     DWORD capacity) {
        const bool capsule = code == 0x222008 && input.size() >= 56;
        readPending = capsule && input[32] == 0x00 && input[33] == 0x01;
        if (capsule && input[32] == 0x01 && input[33] == 0x01) {
            Check(lastRead >= 0 && input[52] == (lastRead & 0x7E),
                  "a write of other than the last read AND 0x7E");
            writes.push_back(input[52]);
        }
        const uint8_t control = in.Byte();
        HostReply reply{static_cast<BOOL>(control & 1), in.U32(), {}};
        size_t length = 0;
        switch ((control >> 1) & 3) {
            case 0:
                length = capacity;
                break;
            case 1:
                length = in.U16() % (capacity + 1);
                break;
            case 2:
                length = in.U16();
                break;  // may exceed the room: the platform refuses it
            default:
                length = capacity > 0 ? capacity - 1 : 0;
                break;
        }
        reply.output = in.Bytes(length);
        if (readPending && reply.result && reply.output.size() >= 12) {
            // The packet's byte 20 keeps its request value, 0, unless the payload reaches it.
            const uint32_t payload = reply.output[0] | (reply.output[1] << 8) |
                                     (reply.output[2] << 16) | (uint32_t{reply.output[3]} << 24);
            lastRead = payload > 20 && reply.output.size() > 32 ? reply.output[32] : 0;
        }
        return reply;
    };
    HostBoxes().answer = [&](const HostMessageBox& box) {
        if ((box.type & 0xF) == MB_YESNO) {
            ++questions;
            return answerYes ? IDYES : IDNO;
        }
        return IDOK;
    };

    const int code = RunDecisionFlow(nullptr);
    Check(code == 0 || code == 1 || code == 2 || code == 99, "exit code");
    Check(writes.empty() || (questions == 1 && answerYes), "a write without a Yes");
    Check(writes.size() <= 2, "more than one write and its one repetition");
    ResetDriverClient();
    Check(HostHeap().liveBlocks == 0, "a heap block was not released");
    Check(HostOpenHandles() == 0, "a handle was left open");
    return 0;
}
