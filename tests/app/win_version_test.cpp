#include "app/win_version.h"

#include <gtest/gtest.h>

#include "tests/support/host_root.h"

namespace {

WindowsVersionFacts Nt(DWORD major, DWORD minor, BYTE productType = VER_NT_WORKSTATION,
                       WORD architecture = PROCESSOR_ARCHITECTURE_INTEL) {
    return {true, 2, major, minor, true, major, minor, productType, architecture};
}

WindowsVersionFacts NineX(DWORD minor) {
    return {true, 1, 4, minor, false, 0, 0, 0, 0};
}

TEST(WindowsVersionCode, EveryRowOfTheClassification) {
    const BYTE kServer = 3;
    const struct {
        const char* name;
        WindowsVersionFacts facts;
        uint16_t code;
    } rows[] = {
        {"query failed", {false, 2, 10, 0, true, 10, 0, 1, 9}, 0},
        {"Win32s", {true, 0, 3, 1, false, 0, 0, 0, 0}, 1},
        {"95", NineX(0), 2},
        {"98", NineX(10), 3},
        {"98 SE", NineX(89), 3},
        {"Me", NineX(90), 7},
        {"NT 4", {true, 2, 4, 0, false, 0, 0, 0, 0}, 4},
        {"2000", Nt(5, 0), 5},
        {"XP", Nt(5, 1), 6},
        {"XP x64", Nt(5, 2, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_AMD64), 6},
        {"2003 on x86", Nt(5, 2), 10},
        {"2003 x64", Nt(5, 2, kServer, PROCESSOR_ARCHITECTURE_AMD64), 10},
        {"Vista", Nt(6, 0), 8},
        {"2008", Nt(6, 0, kServer), 9},
        {"7", Nt(6, 1), 11},
        {"2008 R2", Nt(6, 1, kServer), 12},
        {"8", Nt(6, 2), 13},
        {"2012", Nt(6, 2, kServer), 14},
        {"8.1", Nt(6, 3), 15},
        {"2012 R2", Nt(6, 3, kServer), 16},
        {"6.4", Nt(6, 4), 15},
        {"6.4 server", Nt(6, 4, kServer), 16},
        {"10", Nt(10, 0), 0xFFFF},
        {"7.0", Nt(7, 0, kServer), 0xFFFF},
        {"extended query failed", {true, 2, 6, 1, false, 0, 0, 0, 0}, 0},
        {"platform 3", {true, 3, 6, 1, true, 6, 1, 1, 0}, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ClassifyWindowsVersion(row.facts), row.code) << row.name;
    }
}

TEST(WindowsVersionCode, ProductTypeIsTakenFromTheExtendedQuery) {
    WindowsVersionFacts f = Nt(6, 1, 3);
    f.major = 5;  // the basic query's numbers only decide whether to ask again
    EXPECT_EQ(ClassifyWindowsVersion(f), 12);
}

TEST(CWinVersion, QueriesThePlatform) {
    const struct {
        const char* file;  // null: no file, Windows 10
        uint16_t code;
    } rows[] = {{nullptr, 0xFFFF}, {"5 1 2 1\n", 6}, {"6 0 2 1", 8}, {"6 0 2 3", 9},
                {"6 1 2 1", 11},   {"6 2 2 1", 13},  {"4 0 2 1", 4}, {"4 10 1 0", 3},
                {"5 2 2 1", 6},    {"garbage", 0},   {"6 1 2", 0},   {"6 1 2 1 9", 0}};
    for (const auto& row : rows) {
        TemporaryHostRoot root;
        if (row.file != nullptr) {
            root.WriteFile("machine/os-version", row.file);
        }
        const CWinVersion version;
        EXPECT_EQ(version._versionCode, row.code) << (row.file ? row.file : "no file");
        // On x86-64 the native architecture reads as AMD64, so 5.2 workstation is XP x64.
        EXPECT_EQ(version._systemInfo.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    }
}

}  // namespace
