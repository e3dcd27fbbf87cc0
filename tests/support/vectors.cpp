#include "tests/support/vectors.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

Bytes FromHex(const std::string& hex) {
    if (hex.size() % 2 != 0) {
        throw std::invalid_argument("odd hex length: " + hex);
    }
    Bytes out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string ToHex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 15];
    }
    return out;
}

std::vector<std::string> VectorLines(const std::string& fileName) {
    const std::string path = std::string(TOLLVANE_VECTORS_DIR) + "/" + fileName;
    std::ifstream in(path);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] != '#') {
            lines.push_back(line);
        }
    }
    return lines;
}

std::map<std::string, std::string> KeyValues(const std::string& line) {
    std::map<std::string, std::string> out;
    for (const std::string& token : Fields(line)) {
        const size_t eq = token.find('=');
        if (eq != std::string::npos) {
            out[token.substr(0, eq)] = token.substr(eq + 1);
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string field; in >> field;) {
        out.push_back(field);
    }
    return out;
}

std::map<std::string, std::string> LineValues(const std::string& fileName) {
    std::map<std::string, std::string> out;
    for (const std::string& line : VectorLines(fileName)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            out[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return out;
}

std::vector<uint32_t> Modp1024Words() {
    std::vector<uint32_t> words;
    for (const std::string& w : Fields(LineValues("modp1024.txt").at("p_words_le"))) {
        words.push_back(static_cast<uint32_t>(std::stoul(w, nullptr, 16)));
    }
    if (words.size() != 33) {
        throw std::runtime_error("modp1024.txt: expected 33 words");
    }
    return words;
}
