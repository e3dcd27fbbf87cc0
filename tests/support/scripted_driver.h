// Plays the Quenwick driver inside the test process, through the host platform's scripted
// device: the simulator's own driver logic answers, every request is recorded, and a test can
// replace any answer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/seam.h"
#include "simulator/quenwick_driver.h"

struct RecordedRequest {
    DWORD code;
    std::vector<uint8_t> input;
    DWORD capacity;
};

class ScriptedDriver {
public:
    explicit ScriptedDriver(uint8_t registerB = 0x03);
    ~ScriptedDriver();

    // Routes the host platform's device operations here.
    void Install();

    QuenwickSim::Machine machine;
    QuenwickSim::CmosMemory cmos;
    std::vector<RecordedRequest> requests;
    int opens = 0;
    int closes = 0;
    // When it returns a reply, that reply is given instead of the driver's.
    std::function<std::optional<HostReply>(const RecordedRequest&, size_t index)> replace;

    size_t Count(DWORD code) const;
    // The driver connection's own answer, for a replacement that alters it.
    HostReply DriverAnswer(const RecordedRequest& r);

private:
    std::unique_ptr<QuenwickSim::MachineState> state_;
    std::unique_ptr<QuenwickSim::DriverConnection> connection_;
};

// Fails the nth call (0-based) of the named host operation from now on, with the error.
void FailCall(const std::string& operation, int nth, DWORD error);
