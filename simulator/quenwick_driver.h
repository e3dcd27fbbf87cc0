// The Quenwick driver's side of the contract: the session handshake, the capsule channel and
// the misc functions over an emulated MC146818 register B. One DriverConnection serves one
// open handle; the machine's state (register B, the busy replies still to give) is shared.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "crypto/blowfish.h"
#include "simulator/cmos_store.h"
#include "simulator/machine.h"

namespace QuenwickSim {

struct Reply {
    bool result;
    uint32_t lastError;  // when result is false
    std::vector<uint8_t> output;
};

// What the machine keeps across connections.
struct MachineState {
    MachineState(const Machine& m, CmosStore& store)
        : machine(m), cmos(store), busyLeft(m.busyReplies) {}
    const Machine& machine;
    CmosStore& cmos;
    uint32_t busyLeft;
    uint32_t registerWrites = 0;  // writes that reached the register
};

class DriverConnection {
public:
    explicit DriverConnection(MachineState& state);
    ~DriverConnection();
    DriverConnection(const DriverConnection&) = delete;
    DriverConnection& operator=(const DriverConnection&) = delete;

    // Answers one device-control request. Never reads outside `input` and never answers more
    // than `capacity` bytes.
    Reply Handle(uint32_t code, const std::vector<uint8_t>& input, uint32_t capacity);

    // Sessions this handle holds, by id: for tests.
    size_t OpenSessions() const { return sessions_.size(); }

private:
    struct Session {
        int stage = 0;  // 1 after Ini1, 2 after Ini2, 3 established
        uint32_t A[33] = {};
        uint32_t B[33] = {};
        uint8_t K1[20] = {};
        uint8_t KEK[16] = {};
        BlowfishContext cipher = {};
        uint32_t expectedSequence = 0;
        ~Session();
    };

    Reply SessionRequest(const std::vector<uint8_t>& input, uint32_t capacity);
    Reply Ini1(const std::vector<uint8_t>& input, uint32_t capacity);
    Reply Ini2(const std::vector<uint8_t>& input, uint32_t capacity);
    Reply Ini3(const std::vector<uint8_t>& input, uint32_t capacity);
    Reply CloseSession(const std::vector<uint8_t>& input);
    Reply Capsule(const std::vector<uint8_t>& input, uint32_t capacity);
    Reply Model(const std::vector<uint8_t>& input, uint32_t capacity);
    // The answer to one misc packet, at most sizeOut bytes.
    std::vector<uint8_t> MiscFunction(const std::vector<uint8_t>& packet, uint32_t sizeOut,
                                      bool& deviceFailure);

    uint32_t NextWord() { return static_cast<uint32_t>(random_()); }

    MachineState& state_;
    std::mt19937_64 random_;
    uint32_t plainSequence_ = 0;  // the sequence in plain mode, where no session exists
    std::map<uint32_t, std::unique_ptr<Session>> sessions_;
};

}  // namespace QuenwickSim
