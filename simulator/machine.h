// What the simulated machine is: its driver, its model and the faults it plays.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace QuenwickSim {

enum class Fault {
    kWrongProof,         // the driver's Ini2 proof has its last byte changed
    kWrongConfirmation,  // the Ini3 confirmation block has a bit changed
    kShortIni1,          // replies one byte short
    kShortIni2,
    kShortIni3,
    kShortCapsule,     // a capsule reply of 11 bytes
    kOverlongCapsule,  // a reply payload 8 bytes longer than the room offered
    kShortModel,       // a model reply of 127 bytes
    kReadFails,        // register reads answer status 1
    kWriteFails,       // register writes answer status 1 and change nothing
    kWriteRejected,    // register writes fail as device requests
    kWriteIgnored,     // register writes answer status 0 and change nothing
};

struct Machine {
    std::string driverVersion = "1.0.8.0";
    std::string model = "QK1234567890";      // 12 characters, or 13 to 19 for the long form
    std::optional<uint8_t> modelLengthByte;  // overrides the reply's length byte
    uint8_t platformInformation = 3;
    bool plainMode = false;    // the driver works without sessions
    uint32_t busyReplies = 0;  // misc requests answered with status 4 first
    std::set<Fault> faults;
    uint64_t seed = 0;                     // 0: draw from the system's entropy
    std::optional<uint32_t> dieAtRequest;  // the program ends abruptly on this request (from 0)

    bool Has(Fault f) const { return faults.count(f) != 0; }
};

// The fault's command-line name ("wrong-proof"), and the fault of a name.
const char* FaultName(Fault f);
std::optional<Fault> FaultFromName(const std::string& name);
const std::set<Fault>& AllFaults();

}  // namespace QuenwickSim
