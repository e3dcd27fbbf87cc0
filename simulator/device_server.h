// Serves a DriverConnection per open handle on the host platform's device socket.
#pragma once

#include <atomic>
#include <string>

#include "simulator/quenwick_driver.h"

namespace QuenwickSim {

// Where the device lives under the host root.
struct DevicePaths {
    std::string instanceDirectory;  // <root>/devices/{class}/<instance>
    std::string socket;             // <instance>/device
    std::string driverVersion;      // <instance>/DriverVersion
};
DevicePaths PathsFor(const std::string& root, const std::string& instance);

class DeviceServer {
public:
    DeviceServer(MachineState& state, DevicePaths paths);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Registers the device (its directory, "DriverVersion" and the listening socket). False,
    // with a reason, when that fails.
    bool Start(std::string& error);
    // Serves until `stop` becomes true; one handle is open at a time, as the device opens
    // without sharing.
    void Run(const std::atomic<bool>& stop);
    // Removes what Start created.
    void Remove();

private:
    void ServeRequest(int client, DriverConnection& connection, bool& open);

    MachineState& state_;
    DevicePaths paths_;
    int listener_ = -1;
    uint32_t requests_ = 0;
    bool created_ = false;
};

}  // namespace QuenwickSim
