// Reading the known-answer vector files of tests/vectors.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex);
std::string ToHex(const uint8_t* p, size_t n);
inline std::string ToHex(const Bytes& b) {
    return ToHex(b.data(), b.size());
}

// The lines of a vector file that are neither comments nor blank.
std::vector<std::string> VectorLines(const std::string& fileName);

// The key=value tokens of one line.
std::map<std::string, std::string> KeyValues(const std::string& line);

// A file of key=value lines, each value the rest of its line.
std::map<std::string, std::string> LineValues(const std::string& fileName);

// The RFC 2409 1024-bit prime as 33 words, least significant first.
std::vector<uint32_t> Modp1024Words();

// The whitespace-separated fields of one line.
std::vector<std::string> Fields(const std::string& line);
