// Writes seed inputs for fuzz_driver_client by recording whole runs of the utility against the
// simulated driver: each reply is stored in the fuzzer's input format, so a seed replays its
// session (plain mode to the end; with sessions, up to the proof, as each run draws new keys).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/decision_flow.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Record(const std::string& path, const std::string& version, bool plain, uint8_t registerB,
            bool yes, uint32_t busy) {
    TemporaryHostRoot root;
    root.AddDevice("0000", version.c_str());
    ResetDriverClient();
    HostSleeps().wait = false;
    ScriptedDriver driver(registerB);
    driver.machine.plainMode = plain;
    driver.machine.busyReplies = busy;
    driver.Install();
    std::vector<uint8_t> seed = {static_cast<uint8_t>(version.size())};
    seed.insert(seed.end(), version.begin(), version.end());
    seed.push_back(yes ? 1 : 0);
    seed.push_back(0);  // the open succeeds
    driver.replace = [&](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
        HostReply reply = driver.DriverAnswer(r);
        seed.push_back(static_cast<uint8_t>((reply.result ? 1 : 0) | (1 << 1)));
        PutU16(seed, reply.lastError);
        PutU16(seed, reply.lastError >> 16);
        PutU16(seed, static_cast<uint32_t>(reply.output.size()));
        seed.insert(seed.end(), reply.output.begin(), reply.output.end());
        return reply;
    };
    HostBoxes().answer = [yes](const HostMessageBox& box) {
        return (box.type & 0xF) == MB_YESNO ? (yes ? IDYES : IDNO) : IDOK;
    };
    RunDecisionFlow(nullptr);
    ResetDriverClient();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(seed.data()),
               static_cast<std::streamsize>(seed.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    Record(dir + "/plain-yes", "1.0.8.0", true, 0x83, true, 0);
    Record(dir + "/plain-no", "1.0.8.0", true, 0x03, false, 0);
    Record(dir + "/plain-clear", "1.1.0.0", true, 0x02, true, 0);
    Record(dir + "/plain-busy", "1.0.8", true, 0xFF, true, 1);
    Record(dir + "/session", "1.0.8.0", false, 0x03, true, 0);
    Record(dir + "/old-driver", "1.0.7.0", false, 0x03, true, 0);
    return 0;
}
