// quenwick-sim: a simulated Quenwick driver on the host platform's device socket.
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host/host_root.h"
#include "simulator/device_server.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

const char kHelp[] =
    "Usage: quenwick-sim [options]\n"
    "\n"
    "Registers one Quenwick device under the host root and serves it in the foreground until\n"
    "SIGINT or SIGTERM, then removes it. Prints \"ready <socket path>\" once clients can open\n"
    "it. Register B persists in <root>/quenwick/register-b, as battery-backed CMOS does.\n"
    "\n"
    "Machine:\n"
    "  --root DIR               host root (default: $TOLLVANE_HOST_ROOT, else\n"
    "                           $XDG_RUNTIME_DIR/tollvane-host, else /tmp/tollvane-host-<uid>)\n"
    "  --instance NAME          device instance name (default 0000)\n"
    "  --driver-version TEXT    the \"DriverVersion\" value (default 1.0.8.0)\n"
    "  --model TEXT             model number: 12 characters, or 13 to 19 for the long form\n"
    "                           (default QK1234567890)\n"
    "  --model-length-byte N    send N as the model reply's length byte, whatever the model\n"
    "  --platform-info N        the platform-information value, 0 to 255 (default 3)\n"
    "  --register-b V           set register B to V (for instance 0x03) before serving;\n"
    "                           without it the stored value stays (0x03 when none is stored)\n"
    "  --plain                  the driver works without sessions\n"
    "  --busy N                 answer the first N misc requests with status 4 (busy)\n"
    "  --seed N                 seed the driver's random numbers (default: system entropy)\n"
    "  --die-at-request N       end abruptly, leaving everything behind, on receiving the\n"
    "                           Nth device request (counted from 0, over all handles)\n"
    "\n"
    "Faults (repeatable): --fault NAME, NAME one of\n"
    "  wrong-proof          the driver's Ini2 proof is wrong\n"
    "  wrong-confirmation   the Ini3 confirmation block is wrong\n"
    "  short-ini1, short-ini2, short-ini3\n"
    "                       that handshake reply is one byte short\n"
    "  short-capsule        capsule replies are 11 bytes\n"
    "  overlong-capsule     capsule replies carry 8 payload bytes more than the room offered\n"
    "  short-model          the model reply is 127 bytes\n"
    "  read-fails           register B reads answer status 1\n"
    "  write-fails          register B writes answer status 1 and change nothing\n"
    "  write-rejected       register B writes fail as device requests\n"
    "  write-ignored        register B writes answer status 0 and change nothing\n";

bool ParseNumber(const char* text, unsigned long max, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && out <= max;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "quenwick-sim: %s\nTry quenwick-sim --help.\n", problem.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QuenwickSim::Machine machine;
    std::string root = HostRoot();
    std::string instance = "0000";
    long registerB = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        const char* value = hasValue ? argv[i + 1] : "";
        unsigned long number = 0;
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--plain") {
            machine.plainMode = true;
            continue;
        } else if (!hasValue) {
            return Usage("unknown option or missing value: " + option);
        } else if (option == "--root") {
            root = value;
        } else if (option == "--instance") {
            instance = value;
            if (instance.empty() || instance.find('/') != std::string::npos) {
                return Usage("bad instance name");
            }
        } else if (option == "--driver-version") {
            machine.driverVersion = value;
        } else if (option == "--model") {
            machine.model = value;
            if (machine.model.size() > 19) {
                return Usage("a model number has at most 19 characters");
            }
        } else if (option == "--model-length-byte" && ParseNumber(value, 255, number)) {
            machine.modelLengthByte = static_cast<uint8_t>(number);
        } else if (option == "--platform-info" && ParseNumber(value, 255, number)) {
            machine.platformInformation = static_cast<uint8_t>(number);
        } else if (option == "--register-b" && ParseNumber(value, 255, number)) {
            registerB = static_cast<long>(number);
        } else if (option == "--busy" && ParseNumber(value, 0xFFFFFFFF, number)) {
            machine.busyReplies = static_cast<uint32_t>(number);
        } else if (option == "--die-at-request" && ParseNumber(value, 0xFFFFFFFF, number)) {
            machine.dieAtRequest = static_cast<uint32_t>(number);
        } else if (option == "--seed" && ParseNumber(value, ~0ul, number)) {
            machine.seed = number;
        } else if (option == "--fault") {
            const auto fault = QuenwickSim::FaultFromName(value);
            if (!fault) {
                return Usage(std::string("unknown fault: ") + value);
            }
            machine.faults.insert(*fault);
        } else {
            return Usage("unknown option or bad value: " + option + " " + value);
        }
        ++i;
    }

    const std::string cmosDirectory = root + "/quenwick";
    mkdir(root.c_str(), 0700);
    mkdir(cmosDirectory.c_str(), 0755);
    QuenwickSim::CmosFile cmos(cmosDirectory + "/register-b", 0x03);
    if (registerB >= 0 && !cmos.StoreRegisterB(static_cast<uint8_t>(registerB))) {
        std::fprintf(stderr, "quenwick-sim: cannot write %s\n", cmos.Path().c_str());
        return 1;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    QuenwickSim::MachineState state(machine, cmos);
    QuenwickSim::DeviceServer server(state, QuenwickSim::PathsFor(root, instance));
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "quenwick-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready %s\n", QuenwickSim::PathsFor(root, instance).socket.c_str());
    std::fflush(stdout);
    server.Run(g_stop);
    server.Remove();
    return 0;
}
