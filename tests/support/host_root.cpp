#include "tests/support/host_root.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TemporaryHostRoot::TemporaryHostRoot() {
    char pattern[] = "/tmp/tollvane-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
    setenv("TOLLVANE_HOST_ROOT", path_.c_str(), 1);
}

TemporaryHostRoot::~TemporaryHostRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    unsetenv("TOLLVANE_HOST_ROOT");
}

std::string TemporaryHostRoot::AddDevice(const std::string& instance, const char* version) {
    const std::string dir = path_ + "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/" + instance;
    std::filesystem::create_directories(dir);
    if (version != nullptr) {
        std::ofstream(dir + "/DriverVersion") << version;
    }
    return dir;
}

void TemporaryHostRoot::WriteFile(const std::string& relative, const std::string& text) {
    const std::filesystem::path file = path_ + "/" + relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}
