#include "platform/host/posix_io.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>

bool SendAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t sent = send(fd, p, n, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t got = recv(fd, p, n, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool MakeDirectories(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/') {
            if (mkdir(path.substr(0, at).c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    return true;
}
