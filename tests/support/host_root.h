// A fresh host root for one test: a temporary directory that TOLLVANE_HOST_ROOT points at,
// removed again at the end.
#pragma once

#include <string>

class TemporaryHostRoot {
public:
    TemporaryHostRoot();
    ~TemporaryHostRoot();
    TemporaryHostRoot(const TemporaryHostRoot&) = delete;
    TemporaryHostRoot& operator=(const TemporaryHostRoot&) = delete;

    const std::string& Path() const { return path_; }
    // The directory of a device instance of the Quenwick class, created with its
    // "DriverVersion" file (no file when version is null).
    std::string AddDevice(const std::string& instance, const char* version);
    void WriteFile(const std::string& relative, const std::string& text);

private:
    std::string path_;
};
