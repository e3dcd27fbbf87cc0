#include "tests/support/scripted_driver.h"

#include <map>

ScriptedDriver::ScriptedDriver(uint8_t registerB) : cmos(registerB) {}

ScriptedDriver::~ScriptedDriver() {
    HostDeviceScript() = {};
}

void ScriptedDriver::Install() {
    HostScriptedDevice& device = HostDeviceScript();
    device.open = [this](const std::u16string&) -> DWORD {
        ++opens;
        state_ = std::make_unique<QuenwickSim::MachineState>(machine, cmos);
        connection_ = std::make_unique<QuenwickSim::DriverConnection>(*state_);
        return 0;
    };
    device.request = [this](DWORD code, const std::vector<uint8_t>& input, DWORD capacity) {
        requests.push_back({code, input, capacity});
        const RecordedRequest& r = requests.back();
        if (replace) {
            if (std::optional<HostReply> reply = replace(r, requests.size() - 1)) {
                return *reply;
            }
        }
        return DriverAnswer(r);
    };
    device.close = [this] {
        ++closes;
        connection_.reset();
    };
}

HostReply ScriptedDriver::DriverAnswer(const RecordedRequest& r) {
    if (!connection_) {
        return {FALSE, ERROR_INVALID_HANDLE, {}};
    }
    QuenwickSim::Reply reply = connection_->Handle(r.code, r.input, r.capacity);
    return {reply.result ? TRUE : FALSE, reply.lastError, reply.output};
}

size_t ScriptedDriver::Count(DWORD code) const {
    size_t n = 0;
    for (const RecordedRequest& r : requests) {
        n += r.code == code;
    }
    return n;
}

void FailCall(const std::string& operation, int nth, DWORD error) {
    auto calls = std::make_shared<int>(0);
    HostFaults() = [operation, nth, error, calls](const char* name, DWORD* pError) {
        if (operation != name) {
            return false;
        }
        if ((*calls)++ != nth) {
            return false;
        }
        *pError = error;
        return true;
    };
}
