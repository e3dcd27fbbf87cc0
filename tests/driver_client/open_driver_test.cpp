#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <new>

#include "crypto/blowfish.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "platform/host/host_root.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"

using namespace MiscCommon;

// The free store, failed on request: the version text is allocated with new (nothrow).
static bool g_failArrayNew = false;
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    if (g_failArrayNew) {
        g_failArrayNew = false;
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class OpenDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverClient();
        root.AddDevice("0000", "1.0.8.0");
        driver.Install();
    }
    void TearDown() override { ResetDriverClient(); }

    TemporaryHostRoot root;
    ScriptedDriver driver;
};

TEST_F(OpenDriverTest, OpensInterfaceZeroAndReadsTheVersionOnce) {
    CMiscCommon::_SetErrorMessage(WSTR("left from before"));
    std::u16string openedPath;
    auto open = HostDeviceScript().open;
    HostDeviceScript().open = [&](const std::u16string& path) {
        openedPath = path;
        return open(path);
    };
    root.AddDevice("0001", "9.9.9.9");
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    EXPECT_NE(CMiscCommon::_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(Utf16ToUtf8(openedPath),
              root.Path() + "/devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/device");
    EXPECT_EQ(CMiscCommon::_versionMajor, 1u);
    EXPECT_EQ(CMiscCommon::_versionBuild, 8u);
    EXPECT_TRUE(CMiscCommon::DriverVersionGate());

    // A second open does not read the registry again.
    CMiscCommon::CloseDriver();
    root.AddDevice("0000", "1.0.7.0");
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    EXPECT_EQ(CMiscCommon::_versionBuild, 8u);
}

struct FailureRow {
    const char* operation;
    int nth;
    DWORD error;
    MiscStatus result;
    const char* text;
    bool lastErrorKept;  // the failing call's error is what the caller sees
};

void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.operation << " #" << row.nth;
}

class OpenDriverFailure : public OpenDriverTest,
                          public ::testing::WithParamInterface<FailureRow> {};

TEST_P(OpenDriverFailure, ReportsReleasesAndKeepsTheLastError) {
    const FailureRow& row = GetParam();
    const size_t handlesBefore = HostOpenHandles();
    const size_t blocksBefore = HostHeap().liveBlocks;
    FailCall(row.operation, row.nth, row.error);
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::OpenDriver(), row.result);
    const DWORD lastError = GetLastError();
    HostFaults() = nullptr;
    EXPECT_EQ(ErrorText(), std::string("MiscCommon::CMiscCommon::OpenDriver: ") + row.text);
    if (row.lastErrorKept) {
        EXPECT_EQ(lastError, row.error);
    }
    EXPECT_EQ(CMiscCommon::_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(HostOpenHandles(), handlesBefore) << "a handle was left open";
    EXPECT_EQ(HostHeap().liveBlocks, blocksBefore) << "a heap block was left";
    if (std::string(row.operation) == "RegQueryValueExW" ||
        std::string(row.operation) == "SetupDiOpenDevRegKey") {
        EXPECT_EQ(CMiscCommon::_szVersion, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, OpenDriverFailure,
    ::testing::Values(FailureRow{"SetupDiGetClassDevsW", 0, 13, MISC_PLATFORM_FAILURE,
                                 "SetupDiGetClassDevs failed.", false},
                      FailureRow{"SetupDiEnumDeviceInterfaces", 0, 259, MISC_NOT_FOUND,
                                 "SetupDiEnumDeviceInterfaces failed.", true},
                      FailureRow{"SetupDiGetDeviceInterfaceDetailW", 0, 5, MISC_PLATFORM_FAILURE,
                                 "SetupDiGetDeviceInterfaceDetail (First time) failed.", true},
                      FailureRow{"HeapAlloc", 0, 8, MISC_NO_MEMORY, "HeapAlloc failed.", true},
                      FailureRow{"SetupDiGetDeviceInterfaceDetailW", 1, 1784, MISC_PLATFORM_FAILURE,
                                 "SetupDiGetDeviceInterfaceDetail (Second time) failed.", true},
                      FailureRow{"SetupDiOpenDevRegKey", 0, 2, MISC_PLATFORM_FAILURE,
                                 "SetupDiOpenDevRegKey failed.", true},
                      FailureRow{"RegQueryValueExW", 0, 234, MISC_PLATFORM_FAILURE,
                                 "RegQueryValueEx failed.", false},
                      FailureRow{"CreateFileW", 0, 32, MISC_OPEN_FAILED, "CreateFile failed.",
                                 true}));

TEST_F(OpenDriverTest, NoDeviceOfTheClassGives6) {
    ResetDriverClient();
    TemporaryHostRoot empty;
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::OpenDriver: SetupDiEnumDeviceInterfaces failed.");
}

TEST_F(OpenDriverTest, NoMemoryForTheVersionTextGives2) {
    g_failArrayNew = true;
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_PLATFORM_FAILURE);
    g_failArrayNew = false;
    EXPECT_EQ(ErrorText(),
              "MiscCommon::CMiscCommon::OpenDriver: _szVersion array initialize failed.");
    EXPECT_EQ(CMiscCommon::_szVersion, nullptr);
    EXPECT_EQ(HostOpenHandles(), 0u);
}

TEST_F(OpenDriverTest, VersionLongerThan256BytesFailsAndIsReadAgainNextTime) {
    root.AddDevice("0000", nullptr);
    root.WriteFile("devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/DriverVersion",
                   "1.0.8." + std::string(122, '0'));  // 128 characters and the null: 258 bytes
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::OpenDriver: RegQueryValueEx failed.");
    EXPECT_EQ(CMiscCommon::_szVersion, nullptr);
    EXPECT_EQ(CMiscCommon::_hDevice, INVALID_HANDLE_VALUE);

    root.WriteFile("devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/DriverVersion",
                   "1.0.8." + std::string(121, '0'));  // exactly 256 bytes
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    EXPECT_EQ(CMiscCommon::_versionRevision, 0u);
}

TEST_F(OpenDriverTest, MissingVersionValueFails) {
    root.AddDevice("0000", nullptr);
    std::remove((root.AddDevice("0000", nullptr) + "/DriverVersion").c_str());
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::OpenDriver: RegQueryValueEx failed.");
}

struct VersionRow {
    const char* text;
    uint32_t major, minor, build, revision;
    bool passes;
};

void PrintTo(const VersionRow& row, std::ostream* os) {
    *os << '"' << row.text << '"';
}

class VersionGate : public OpenDriverTest, public ::testing::WithParamInterface<VersionRow> {};

TEST_P(VersionGate, ParsesTheTextAndGates) {
    const VersionRow& row = GetParam();
    root.WriteFile("devices/{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}/0000/DriverVersion", row.text);
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    EXPECT_EQ(CMiscCommon::_versionMajor, row.major);
    EXPECT_EQ(CMiscCommon::_versionMinor, row.minor);
    EXPECT_EQ(CMiscCommon::_versionBuild, row.build);
    EXPECT_EQ(CMiscCommon::_versionRevision, row.revision);
    EXPECT_EQ(CMiscCommon::DriverVersionGate(), row.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VersionGate,
    ::testing::Values(
        VersionRow{"1.0.8.0", 1, 0, 8, 0, true}, VersionRow{"1.0.8", 1, 0, 8, 0, true},
        VersionRow{"1.0.8\n", 1, 0, 8, 0, true}, VersionRow{"1.0.7.99", 1, 0, 7, 99, false},
        VersionRow{"1.1.0.0", 1, 1, 0, 0, true}, VersionRow{"2.0.0.0", 2, 0, 0, 0, true},
        VersionRow{"0.9.99.0", 0, 9, 99, 0, false}, VersionRow{"1.0", 1, 0, 0, 0, false},
        VersionRow{"version", 0, 0, 0, 0, false}, VersionRow{"", 0, 0, 0, 0, false},
        VersionRow{" 1. 0. 9.+1", 1, 0, 9, 1, true}, VersionRow{"1.0,8.0", 1, 0, 0, 0, false},
        // No version is negative: a minus sign ends the scan.
        VersionRow{"-1.0.8.0", 0, 0, 0, 0, false}, VersionRow{"1.-1.0.0", 1, 0, 0, 0, false},
        VersionRow{"1.0.99999999999.0", 1, 0, 0xFFFFFFFF, 0, true}));

TEST_F(OpenDriverTest, GatedOperationsFailAtTheGateBeforeAnyOpen) {
    uint8_t packet[32] = {};
    uint8_t status = 0x55, value = 0x66;
    uint32_t size = 12, returned = 7;
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_OLD_DRIVER);
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_OLD_DRIVER);
    EXPECT_EQ(CMiscCommon::ReadRtcRegisterB(&status, &value), MISC_OLD_DRIVER);
    EXPECT_EQ(CMiscCommon::WriteRtcRegisterB(&status, 1), MISC_OLD_DRIVER);
    EXPECT_EQ(CMiscCommon::GetModelNumber(packet, &size), MISC_OLD_DRIVER);
    EXPECT_FALSE(CMiscCommon::EncapsuledDeviceIoControl(packet, 32, packet, 32, &returned));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(returned, 7u);
    EXPECT_EQ(status, 0x55);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_TRUE(driver.requests.empty());
}

TEST_F(OpenDriverTest, AfterAFailedOpenANewEnoughVersionGives8) {
    FailCall("CreateFileW", 0, 2);
    EXPECT_EQ(CMiscCommon::OpenDriver(), MISC_OPEN_FAILED);
    HostFaults() = nullptr;
    uint8_t packet[32] = {};
    uint32_t size = 12;
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_NO_DEVICE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::CallMiscFunction: _hDevice is NULL");
    EXPECT_EQ(CMiscCommon::GetModelNumber(packet, &size), MISC_NO_DEVICE);
}

TEST_F(OpenDriverTest, CloseWithNoDeviceDoesNothing) {
    CMiscCommon::CloseDriver();
    EXPECT_TRUE(driver.requests.empty());
    EXPECT_EQ(driver.closes, 0);
}

TEST_F(OpenDriverTest, CloseWithoutASessionSendsNoSessionEnd) {
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    CMiscCommon::CloseDriver();
    EXPECT_TRUE(driver.requests.empty());
    EXPECT_EQ(driver.closes, 1);
    EXPECT_EQ(CMiscCommon::_hDevice, INVALID_HANDLE_VALUE);
}

TEST_F(OpenDriverTest, CloseEndsTheSessionAndWipesItsCipher) {
    ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
    ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
    const uint32_t sessionId = CMiscCommon::_sessionId;
    CMiscCommon::_sequence = 9;
    int wipedContexts = 0, unwiped = 0;
    HostHeap().onFree = [&](const uint8_t* block, SIZE_T size) {
        if (size == sizeof(BlowfishContext)) {
            bool zero = true;
            for (SIZE_T i = 0; i < size; ++i) {
                zero = zero && block[i] == 0;
            }
            (zero ? wipedContexts : unwiped)++;
        }
    };
    driver.requests.clear();
    CMiscCommon::CloseDriver();
    ASSERT_EQ(driver.requests.size(), 1u);
    EXPECT_EQ(driver.requests[0].code, IOCTL_MISC_CLOSE_SESSION);
    ASSERT_EQ(driver.requests[0].input.size(), 4u);
    uint32_t sent;
    std::memcpy(&sent, driver.requests[0].input.data(), 4);
    EXPECT_EQ(sent, sessionId);
    EXPECT_EQ(wipedContexts, 1);
    EXPECT_EQ(unwiped, 0);
    EXPECT_EQ(CMiscCommon::_pBlowfish, nullptr);
    EXPECT_EQ(CMiscCommon::_sessionId, 0u);
    EXPECT_EQ(CMiscCommon::_sequence, 0u);
    EXPECT_EQ(CMiscCommon::_versionBuild, 8u);
    uint8_t packet[32] = {};
    EXPECT_EQ(CMiscCommon::CallMiscFunction(packet, 32), MISC_NO_DEVICE);
}

}  // namespace
