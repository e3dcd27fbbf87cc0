// The simulated machine's battery-backed CMOS: register B of the real-time clock, kept in a
// file so that it survives the simulator like the real register survives a power cycle.
#pragma once

#include <cstdint>
#include <string>

namespace QuenwickSim {

class CmosStore {
public:
    virtual ~CmosStore() = default;
    virtual uint8_t LoadRegisterB() = 0;
    // False when the value could not be stored; the register then keeps its old value.
    virtual bool StoreRegisterB(uint8_t value) = 0;
};

// Register B in a one-line text file ("0x03"). A store writes a new file beside it and renames
// it over the old one, so the file is never seen torn or half-written, even after a kill.
class CmosFile : public CmosStore {
public:
    // A missing or unreadable file reads as fallback.
    CmosFile(std::string path, uint8_t fallback);
    uint8_t LoadRegisterB() override;
    bool StoreRegisterB(uint8_t value) override;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    uint8_t fallback_;
};

// Register B in memory, for tests of the driver logic.
class CmosMemory : public CmosStore {
public:
    explicit CmosMemory(uint8_t value) : value_(value) {}
    uint8_t LoadRegisterB() override { return value_; }
    bool StoreRegisterB(uint8_t value) override {
        value_ = value;
        ++stores;
        return true;
    }
    int stores = 0;

private:
    uint8_t value_;
};

}  // namespace QuenwickSim
