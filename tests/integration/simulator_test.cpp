// quenwick-sim as a program: its device directory, its stored register B, its options, and
// clients that do not keep to the protocol.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "simulator/cmos_store.h"
#include "simulator/machine.h"
#include "tests/support/host_root.h"
#include "tests/support/simulator_process.h"

namespace {

const char kClass[] = "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/";

class SimulatorProgram : public ::testing::Test {
protected:
    std::string Instance(const std::string& name = "0000") const {
        return root.Path() + kClass + name;
    }
    std::string Stored() const {
        std::ifstream in(root.Path() + "/quenwick/register-b");
        std::string text;
        in >> text;
        return text;
    }
    int Connect() const {
        const std::string path = Instance() + "/device";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        return fd;
    }
    // One request frame; the reply's result, or -1 when the connection ended.
    static int Request(int fd, uint32_t code, const std::vector<uint8_t>& input, uint32_t capacity,
                       std::vector<uint8_t>* output = nullptr) {
        std::vector<uint8_t> frame(12);
        const uint32_t size = static_cast<uint32_t>(input.size());
        std::memcpy(&frame[0], &code, 4);
        std::memcpy(&frame[4], &size, 4);
        std::memcpy(&frame[8], &capacity, 4);
        frame.insert(frame.end(), input.begin(), input.end());
        if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(frame.size())) {
            return -1;
        }
        uint32_t header[3];
        if (recv(fd, header, sizeof header, MSG_WAITALL) != sizeof header) {
            return -1;
        }
        std::vector<uint8_t> bytes(header[2]);
        if (header[2] > capacity ||
            (header[2] > 0 && recv(fd, bytes.data(), bytes.size(), MSG_WAITALL) !=
                                  static_cast<ssize_t>(bytes.size()))) {
            return -1;
        }
        if (output != nullptr) {
            *output = bytes;
        }
        return static_cast<int>(header[0]);
    }
    static uint32_t OpenStatus(int fd) {
        uint32_t status = 0xFFFFFFFF;
        return recv(fd, &status, 4, MSG_WAITALL) == 4 ? status : 0xFFFFFFFF;
    }

    TemporaryHostRoot root;
};

TEST_F(SimulatorProgram, RegistersItsDeviceAndRemovesItOnEachStopSignal) {
    for (int signal : {SIGTERM, SIGINT}) {
        SimulatorProcess sim(root.Path(), {"--driver-version", "1.2.3.4", "--instance", "0007"});
        ASSERT_TRUE(sim.Ready());
        std::ifstream version(Instance("0007") + "/DriverVersion");
        std::string text;
        version >> text;
        EXPECT_EQ(text, "1.2.3.4");
        EXPECT_TRUE(std::filesystem::exists(Instance("0007") + "/device"));
        EXPECT_EQ(sim.Stop(signal), 0) << signal;
        EXPECT_FALSE(std::filesystem::exists(Instance("0007"))) << signal;
    }
}

TEST_F(SimulatorProgram, RegisterBPersistsAcrossRunsLikeCmos) {
    {
        SimulatorProcess sim(root.Path(), {});
        ASSERT_TRUE(sim.Ready());
    }
    EXPECT_EQ(Stored(), "") << "nothing stored until a write or --register-b";
    {
        SimulatorProcess sim(root.Path(), {"--register-b", "0x83"});
        ASSERT_TRUE(sim.Ready());
    }
    EXPECT_EQ(Stored(), "0x83");
    {
        SimulatorProcess sim(root.Path(), {});
        ASSERT_TRUE(sim.Ready());
    }
    EXPECT_EQ(Stored(), "0x83");
    EXPECT_FALSE(std::filesystem::exists(root.Path() + "/quenwick/register-b.new"));
}

TEST_F(SimulatorProgram, AStoreInterruptedBeforeItsRenameLeavesTheOldValue) {
    const std::string path = root.Path() + "/register-b";
    QuenwickSim::CmosFile cmos(path, 0x03);
    EXPECT_EQ(cmos.LoadRegisterB(), 0x03) << "no file yet: the fallback";
    ASSERT_TRUE(cmos.StoreRegisterB(0x83));
    // A store killed half-way leaves only its new file, half written; the register reads as
    // before, and the next store replaces the remains.
    std::ofstream(path + ".new") << "0x";
    EXPECT_EQ(cmos.LoadRegisterB(), 0x83);
    ASSERT_TRUE(cmos.StoreRegisterB(0x02));
    EXPECT_EQ(cmos.LoadRegisterB(), 0x02);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    std::ofstream(path, std::ios::trunc) << "0x1FF";
    EXPECT_EQ(cmos.LoadRegisterB(), 0x03) << "a value that is no register byte";
}

TEST_F(SimulatorProgram, HelpNamesEveryFault) {
    FILE* help = popen((BuiltProgram("quenwick-sim") + " --help").c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, help) != nullptr) {
        text += buffer;
    }
    EXPECT_EQ(pclose(help), 0);
    for (QuenwickSim::Fault fault : QuenwickSim::AllFaults()) {
        EXPECT_NE(text.find(QuenwickSim::FaultName(fault)), std::string::npos)
            << QuenwickSim::FaultName(fault);
    }
    for (const char* option : {"--driver-version", "--model", "--platform-info", "--register-b",
                               "--plain", "--busy", "--fault", "--root"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}

TEST_F(SimulatorProgram, RefusesBadOptions) {
    for (const char* args : {"--fault nonsense", "--platform-info 256", "--register-b x",
                             "--model QK34567890ABCDEFGHIJ", "--bogus"}) {
        const std::string command = BuiltProgram("quenwick-sim") + " --root " + root.Path() + " " +
                                    args + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args;
    }
}

TEST_F(SimulatorProgram, HostileClientsAreDroppedAndTheNextIsServed) {
    SimulatorProcess sim(root.Path(), {});
    ASSERT_TRUE(sim.Ready());
    std::mt19937 rng(42);
    for (int round = 0; round < 40; ++round) {
        const int fd = Connect();
        ASSERT_GE(fd, 0);
        ASSERT_EQ(OpenStatus(fd), 0u) << "round " << round;
        std::vector<uint8_t> junk(rng() % 300);
        for (auto& b : junk) {
            b = static_cast<uint8_t>(rng());
        }
        if (round % 4 == 0) {
            // A frame that announces more than 1 MiB.
            junk = {0x08, 0x20, 0x22, 0x00, 0x00, 0x00, 0x20, 0x00, 0x10, 0, 0, 0};
        } else if (round % 4 == 1) {
            // A well-framed capsule request full of noise.
            std::vector<uint8_t> capsule(junk.begin(), junk.end());
            Request(fd, 0x222008, capsule, 64);
        } else if (round % 4 == 2) {
            Request(fd, 0x222000, junk, static_cast<uint32_t>(rng() % 200));
        }
        send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        close(fd);
    }
    const int fd = Connect();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(OpenStatus(fd), 0u);
    std::vector<uint8_t> model;
    EXPECT_EQ(Request(fd, 0x222940, {}, 128, &model), 1);
    EXPECT_EQ(model.size(), 128u);
    close(fd);
    EXPECT_EQ(kill(sim.Pid(), 0), 0) << "the simulator died";
}

TEST_F(SimulatorProgram, UnknownCodesAndPhasesOutOfOrderAreRefused) {
    SimulatorProcess sim(root.Path(), {});
    ASSERT_TRUE(sim.Ready());
    const int fd = Connect();
    ASSERT_EQ(OpenStatus(fd), 0u);
    EXPECT_EQ(Request(fd, 0x222FFC, {}, 0), 0);
    std::vector<uint8_t> ini2(28, 0);
    std::memcpy(ini2.data(), "Ini2", 4);
    EXPECT_EQ(Request(fd, 0x222000, ini2, 20), 0) << "Ini2 before Ini1";
    std::vector<uint8_t> capsule(40, 0);
    capsule[0] = 24;
    capsule[4] = 40;
    EXPECT_EQ(Request(fd, 0x222008, capsule, 24), 0) << "a capsule without a session";
    close(fd);
}

}  // namespace
