#include "simulator/cmos_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace QuenwickSim {

namespace {

bool WriteWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CmosFile::CmosFile(std::string path, uint8_t fallback)
    : path_(std::move(path)), fallback_(fallback) {}

uint8_t CmosFile::LoadRegisterB() {
    std::ifstream in(path_);
    std::string text;
    if (!(in >> text)) {
        return fallback_;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    return end != text.c_str() && *end == '\0' && value <= 0xFF ? static_cast<uint8_t>(value)
                                                                : fallback_;
}

bool CmosFile::StoreRegisterB(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X\n", value);
    const std::string temporary = path_ + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteWhole(fd, text) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), path_.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const int dir = open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace QuenwickSim
