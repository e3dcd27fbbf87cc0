// Reads a fuzzer's bytes as a stream of small values; past the end every read gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t U32() { return U16() | (static_cast<uint32_t>(U16()) << 16); }
    std::vector<uint8_t> Bytes(size_t n) {
        std::vector<uint8_t> out;
        while (out.size() < n && at_ < size_) {
            out.push_back(data_[at_++]);
        }
        out.resize(n, 0);
        return out;
    }
    std::string Text(size_t maximum) {
        const size_t n = Byte() % (maximum + 1);
        const std::vector<uint8_t> b = Bytes(n);
        return std::string(b.begin(), b.end());
    }
    bool Empty() const { return at_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
