#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/host/handles.h"
#include "platform/host/host_root.h"
#include "platform/host/posix_io.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

// A driver that stops answering without closing the connection ends the request after this.
constexpr int kReplyTimeoutSeconds = 30;

// One request frame out, one reply frame back; false for a broken connection or a frame that
// does not keep to the protocol.
bool Exchange(int fd, DWORD code, const uint8_t* in, DWORD inSize, DWORD capacity,
              HostReply& reply) {
    std::vector<uint8_t> frame;
    PutU32(frame, code);
    PutU32(frame, inSize);
    PutU32(frame, capacity);
    frame.insert(frame.end(), in, in + inSize);
    uint8_t header[12];
    if (!SendAll(fd, frame.data(), frame.size()) || !ReceiveAll(fd, header, sizeof header)) {
        return false;
    }
    reply.result = GetU32(header) != 0 ? TRUE : FALSE;
    reply.lastError = GetU32(header + 4);
    const uint32_t returned = GetU32(header + 8);
    if (returned > capacity) {
        return false;
    }
    reply.output.resize(returned);
    return ReceiveAll(fd, reply.output.data(), returned);
}

HANDLE OpenSocket(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND
                                                         : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        SetLastError(ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    timeval timeout{kReplyTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    uint8_t status[4];
    if (!ReceiveAll(fd, status, sizeof status)) {
        close(fd);
        SetLastError(ERROR_NOT_READY);
        return INVALID_HANDLE_VALUE;
    }
    if (GetU32(status) != 0) {
        close(fd);
        SetLastError(GetU32(status));
        return INVALID_HANDLE_VALUE;
    }
    HostObject object{HostObject::Kind::kDevice, {}, {}, {fd, false}, {}};
    return HostAddHandle(std::move(object));
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD, HANDLE) {
    if (HostShouldFail("CreateFileW")) {
        return INVALID_HANDLE_VALUE;
    }
    if (fileName == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HostDeviceScript().open) {
        const DWORD status = HostDeviceScript().open(fileName);
        if (status != 0) {
            SetLastError(status);
            return INVALID_HANDLE_VALUE;
        }
        HostObject object{HostObject::Kind::kDevice, {}, {}, {-1, false}, {}};
        return HostAddHandle(std::move(object));
    }
    return OpenSocket(Utf16ToUtf8(fileName));
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                     LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                     OVERLAPPED* overlapped) {
    if (HostShouldFail("DeviceIoControl")) {
        return FALSE;
    }
    HostObject* object = HostFindHandle(device, HostObject::Kind::kDevice);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (overlapped != nullptr || bytesReturned == nullptr ||
        (inBuffer == nullptr && inBufferSize != 0) ||
        (outBuffer == nullptr && outBufferSize != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *bytesReturned = 0;
    HostDevice& d = object->device;
    const auto* in = static_cast<const uint8_t*>(inBuffer);
    HostReply reply{FALSE, 0, {}};
    bool framed = false;
    if (d.broken) {
        framed = false;
    } else if (d.socket >= 0) {
        framed = Exchange(d.socket, ioControlCode, in, inBufferSize, outBufferSize, reply);
    } else if (HostDeviceScript().request) {
        reply = HostDeviceScript().request(
            ioControlCode, std::vector<uint8_t>(in, in + inBufferSize), outBufferSize);
        framed = reply.output.size() <= outBufferSize;
    }
    if (!framed) {
        // The stream can no longer be trusted to be at a frame boundary.
        d.broken = true;
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (!reply.output.empty()) {
        std::memcpy(outBuffer, reply.output.data(), reply.output.size());
    }
    *bytesReturned = static_cast<DWORD>(reply.output.size());
    SetLastError(reply.result ? 0 : reply.lastError);
    return reply.result;
}
