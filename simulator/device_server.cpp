#include "simulator/device_server.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "platform/host/posix_io.h"
#include "platform/win32.h"

namespace QuenwickSim {

namespace {

constexpr uint32_t kFrameLimit = 1 << 20;  // larger sizes close the connection
constexpr const char* kClassDirectory = "{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}";

void SendOpenStatus(int fd, uint32_t status) {
    std::vector<uint8_t> frame;
    PutU32(frame, status);
    SendAll(fd, frame.data(), frame.size());
}

}  // namespace

DevicePaths PathsFor(const std::string& root, const std::string& instance) {
    DevicePaths p;
    p.instanceDirectory = root + "/devices/" + kClassDirectory + "/" + instance;
    p.socket = p.instanceDirectory + "/device";
    p.driverVersion = p.instanceDirectory + "/DriverVersion";
    return p;
}

DeviceServer::DeviceServer(MachineState& state, DevicePaths paths)
    : state_(state), paths_(std::move(paths)) {}

DeviceServer::~DeviceServer() {
    Remove();
}

bool DeviceServer::Start(std::string& error) {
    sockaddr_un address{};
    if (paths_.socket.size() >= sizeof address.sun_path) {
        error = "device path too long for a socket: " + paths_.socket;
        return false;
    }
    if (!MakeDirectories(paths_.instanceDirectory)) {
        error = "cannot create " + paths_.instanceDirectory + ": " + std::strerror(errno);
        return false;
    }
    created_ = true;
    {
        std::ofstream version(paths_.driverVersion, std::ios::trunc);
        version << state_.machine.driverVersion;
        if (!version) {
            error = "cannot write " + paths_.driverVersion;
            return false;
        }
    }
    unlink(paths_.socket.c_str());
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, paths_.socket.c_str(), paths_.socket.size() + 1);
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0) {
        error = "cannot listen on " + paths_.socket + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void DeviceServer::Remove() {
    if (listener_ >= 0) {
        close(listener_);
        listener_ = -1;
    }
    if (created_) {
        unlink(paths_.socket.c_str());
        unlink(paths_.driverVersion.c_str());
        rmdir(paths_.instanceDirectory.c_str());
        created_ = false;
    }
}

void DeviceServer::ServeRequest(int client, DriverConnection& connection, bool& open) {
    uint8_t header[12];
    if (!ReceiveAll(client, header, sizeof header)) {
        open = false;
        return;
    }
    const uint32_t code = GetU32(header);
    const uint32_t inputSize = GetU32(header + 4);
    const uint32_t capacity = GetU32(header + 8);
    if (inputSize > kFrameLimit || capacity > kFrameLimit) {
        open = false;
        return;
    }
    std::vector<uint8_t> input(inputSize);
    if (!ReceiveAll(client, input.data(), input.size())) {
        open = false;
        return;
    }
    if (state_.machine.dieAtRequest && requests_++ == *state_.machine.dieAtRequest) {
        _exit(3);  // a driver that dies in the middle of its work: nothing is cleaned up
    }
    Reply reply = connection.Handle(code, input, capacity);
    if (reply.output.size() > capacity) {
        reply.output.resize(capacity);
    }
    std::vector<uint8_t> frame;
    PutU32(frame, reply.result ? 1 : 0);
    PutU32(frame, reply.result ? 0 : reply.lastError);
    PutU32(frame, static_cast<uint32_t>(reply.output.size()));
    frame.insert(frame.end(), reply.output.begin(), reply.output.end());
    open = SendAll(client, frame.data(), frame.size());
}

void DeviceServer::Run(const std::atomic<bool>& stop) {
    int client = -1;
    std::unique_ptr<DriverConnection> connection;
    while (!stop) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {client, POLLIN, 0}};
        const int ready = poll(fds, client >= 0 ? 2 : 1, 200);
        if (ready <= 0) {
            continue;
        }
        if (client >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            bool open = true;
            ServeRequest(client, *connection, open);
            if (!open) {
                // The handle is closed: the driver drops whatever it held.
                close(client);
                client = -1;
                connection.reset();
            }
        }
        if (fds[0].revents & POLLIN) {
            const int incoming = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (incoming < 0) {
                continue;
            }
            if (client >= 0) {
                SendOpenStatus(incoming, ERROR_SHARING_VIOLATION);
                close(incoming);
                continue;
            }
            timeval timeout{5, 0};  // a client that stalls mid-frame is dropped
            setsockopt(incoming, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            setsockopt(incoming, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
            SendOpenStatus(incoming, 0);
            client = incoming;
            connection = std::make_unique<DriverConnection>(state_);
        }
    }
    if (client >= 0) {
        close(client);
    }
}

}  // namespace QuenwickSim
