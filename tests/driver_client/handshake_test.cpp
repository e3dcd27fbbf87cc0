#include <gtest/gtest.h>

#include <cstring>

#include "crypto/big_int.h"
#include "crypto/blowfish.h"
#include "crypto/sha1.h"
#include "driver_client/group_prime.h"
#include "driver_client/ioctl_codes.h"
#include "driver_client/misc_common.h"
#include "driver_client/primitives.h"
#include "driver_client/wire_records.h"
#include "tests/support/driver_client_state.h"
#include "tests/support/host_root.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/vectors.h"

using namespace MiscCommon;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
const uint32_t kX[4] = {1, 2, 3, 0};
const uint32_t* const kPrime = kGroupPrime;

// A generator that draws 1, 2, 3, ... and can fail its checks.
struct CountingGenerator {
    static inline uint32_t next = 1;
    static inline int testFailures = 0;
    static inline bool initFails = false;
    static bool Init() { return !initFails; }
    static int Test() { return testFailures-- > 0 ? -1 : 1; }
    static uint32_t Next() { return next++; }
    static void Install() {
        next = 1;
        testFailures = 0;
        initFails = false;
        g_primitives.hdrandInit = Init;
        g_primitives.hdrandTest = Test;
        g_primitives.hdrandNext = Next;
    }
};

class HandshakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDriverClient();
        root.AddDevice("0000", "1.0.8.0");
        driver.Install();
        ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
        HostHeap().onFree = [this](const uint8_t* block, SIZE_T size) {
            if (size == 264 || size == sizeof(BlowfishContext)) {
                for (SIZE_T i = 0; i < size; ++i) {
                    if (block[i] != 0) {
                        ++unwipedKeyBlocks;
                        return;
                    }
                }
                ++wipedKeyBlocks;
            }
        };
    }
    void TearDown() override { ResetDriverClient(); }

    // The session id of the driver's Ini1 reply, when it gave one.
    uint32_t DriverSessionId() const {
        for (const RecordedRequest& r : driver.requests) {
            if (r.code == IOCTL_MISC_SESSION && r.input.size() == 28) {
                uint32_t id;
                std::memcpy(&id, r.input.data() + 4, 4);
                return id;
            }
        }
        return 0;
    }
    bool EndedSession(uint32_t id) const {
        for (const RecordedRequest& r : driver.requests) {
            uint32_t sent = 0;
            if (r.code == IOCTL_MISC_CLOSE_SESSION && r.input.size() == 4) {
                std::memcpy(&sent, r.input.data(), 4);
                if (sent == id) {
                    return true;
                }
            }
        }
        return false;
    }

    TemporaryHostRoot root;
    ScriptedDriver driver;
    int wipedKeyBlocks = 0;
    int unwipedKeyBlocks = 0;
};

TEST(GroupPrime, IsThePublishedRfc2409Prime) {
    EXPECT_EQ(std::vector<uint32_t>(kGroupPrime, kGroupPrime + 33), Modp1024Words());
}

TEST_F(HandshakeTest, EstablishesASessionKeyedWithTheSessionKey) {
    ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS) << ErrorText();
    ASSERT_NE(CMiscCommon::_pBlowfish, nullptr);
    EXPECT_EQ(CMiscCommon::_sequence, 0u);
    EXPECT_TRUE(CMiscCommon::_bEncrypt);
    EXPECT_NE(CMiscCommon::_sessionId, 0u);
    EXPECT_EQ(CMiscCommon::_sessionId, DriverSessionId());
    ASSERT_EQ(driver.requests.size(), 4u);  // the probe and three phases
    EXPECT_TRUE(driver.requests[0].input.empty());
    EXPECT_EQ(driver.requests[0].capacity, 0u);
    EXPECT_EQ(driver.requests[1].capacity, 160u);
    EXPECT_EQ(driver.requests[2].capacity, 20u);
    EXPECT_EQ(driver.requests[3].capacity, 8u);
    // The scratch block and the key-encryption context were wiped before release.
    EXPECT_EQ(wipedKeyBlocks, 1);
    EXPECT_EQ(unwipedKeyBlocks, 0);
    EXPECT_EQ(HostHeap().liveBlocks, 1u);  // the session cipher
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(HandshakeTest, DrawsTheExponentThenTheNonceThenTheSessionKey) {
    CountingGenerator::Install();
    ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS) << ErrorText();
    const std::vector<uint8_t>& ini1 = driver.requests[1].input;
    ASSERT_EQ(ini1.size(), 160u);
    uint32_t tag;
    std::memcpy(&tag, ini1.data(), 4);
    EXPECT_EQ(tag, kTagIni1);
    for (int i = 0; i < 5; ++i) {
        uint32_t word;
        std::memcpy(&word, ini1.data() + 136 + 4 * i, 4);
        EXPECT_EQ(word, static_cast<uint32_t>(4 + i)) << "Na word " << i;
    }
    for (size_t i = 132; i < 136; ++i) {
        EXPECT_EQ(ini1[i], 0) << "top word of A, byte " << i;
    }
    for (size_t i = 156; i < 160; ++i) {
        EXPECT_EQ(ini1[i], 0) << "tail of Na, byte " << i;
    }
    // x = 1, 2, 3, 0: the exponent is the first three draws and a zero word.
    uint32_t expectedA[33] = {};
    ASSERT_TRUE(pow2mod(expectedA, 33, kX, 4, kPrime, 33));
    EXPECT_EQ(std::memcmp(ini1.data() + 4, expectedA, 132), 0);
    EXPECT_EQ(CountingGenerator::next, 13u) << "12 words drawn in all";
    // The confirmation was deciphered with a context keyed by words 9 to 12.
    const uint32_t sessionKey[4] = {9, 10, 11, 12};
    BlowfishContext expected;
    BlowfishInitialize(&expected, reinterpret_cast<const uint8_t*>(sessionKey), 16);
    EXPECT_EQ(std::memcmp(&expected, CMiscCommon::_pBlowfish, sizeof expected), 0);
}

TEST_F(HandshakeTest, OldDriverGets10BeforeAnyRequest) {
    CMiscCommon::_versionBuild = 7;
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_OLD_DRIVER);
    EXPECT_TRUE(driver.requests.empty());
    EXPECT_TRUE(CMiscCommon::_bEncrypt);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(HandshakeTest, ProbeRefusedWithNotSupportedMeansPlainMode) {
    driver.machine.plainMode = true;
    CountingGenerator::Install();
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
    EXPECT_FALSE(CMiscCommon::_bEncrypt);
    EXPECT_EQ(CMiscCommon::_pBlowfish, nullptr);
    EXPECT_EQ(driver.requests.size(), 1u);
    EXPECT_EQ(CountingGenerator::next, 1u) << "the generator was never used";
    EXPECT_EQ(ErrorText(), "");
}

TEST_F(HandshakeTest, ProbeFailingWithAnotherErrorGoesOn) {
    driver.replace = [](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
        if (r.code == IOCTL_MISC_SESSION && r.input.empty()) {
            return HostReply{FALSE, ERROR_INVALID_FUNCTION, {}};
        }
        return std::nullopt;
    };
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
    EXPECT_TRUE(CMiscCommon::_bEncrypt);
}

TEST_F(HandshakeTest, StaleNotSupportedErrorDoesNotMeanPlainMode) {
    SetLastError(ERROR_NOT_SUPPORTED);
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS);
    EXPECT_TRUE(CMiscCommon::_bEncrypt);
    EXPECT_NE(CMiscCommon::_pBlowfish, nullptr);
}

TEST_F(HandshakeTest, GeneratorChecks) {
    CountingGenerator::Install();
    CountingGenerator::initFails = true;
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Initialize: hdrand_init failed");

    CountingGenerator::Install();
    CountingGenerator::testFailures = 16;
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_PLATFORM_FAILURE);
    EXPECT_EQ(ErrorText(), "MiscCommon::CMiscCommon::_Initialize: hdrand_test failed 16 times");
    EXPECT_EQ(driver.Count(IOCTL_MISC_CLOSE_SESSION), 0u);

    CountingGenerator::Install();
    CountingGenerator::testFailures = 15;
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS) << ErrorText();
}

// One row per failure exit of the handshake after the probe.
struct ExitRow {
    const char* name;
    std::function<void(ScriptedDriver&)> arrange;
    MiscStatus result;
    const char* text;
    bool endsSession;
    DWORD lastError;  // kSentinel: the handshake sets none of its own
};

void PrintTo(const ExitRow& row, std::ostream* os) {
    *os << row.name;
}

bool FailPow2mod(uint32_t*, uint32_t, const uint32_t*, uint32_t, const uint32_t*, uint32_t) {
    return false;
}
bool FailPowmod(uint32_t*, uint32_t, const uint32_t*, uint32_t, const uint32_t*, uint32_t,
                const uint32_t*, uint32_t) {
    return false;
}
int g_initCalls = 0;
bool InitFailsSecondTime(BlowfishContext* c, const uint8_t* k, uint32_t n) {
    return ++g_initCalls == 2 ? false : BlowfishInitialize(c, k, n);
}
bool InitFailsFirstTime(BlowfishContext*, const uint8_t*, uint32_t) {
    return false;
}
bool EncipherFails(const BlowfishContext*, uint32_t*, uint32_t*) {
    return false;
}
bool DecipherFails(const BlowfishContext*, uint32_t*, uint32_t*) {
    return false;
}

// Replaces the reply to the request with this input size (the phase) by a failure or a cut.
std::function<void(ScriptedDriver&)> PhaseReply(size_t inputSize, bool fail, int dropBytes,
                                                int flipLastByte = 0) {
    return [=](ScriptedDriver& d) {
        d.replace = [=, &d](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
            if (r.code != IOCTL_MISC_SESSION || r.input.size() != inputSize) {
                return std::nullopt;
            }
            if (fail) {
                return HostReply{FALSE, ERROR_GEN_FAILURE, {}};
            }
            HostReply reply = d.DriverAnswer(r);
            reply.output.resize(reply.output.size() - dropBytes);
            if (flipLastByte) {
                reply.output.back() ^= 1;
            }
            return reply;
        };
    };
}

class HandshakeExit : public HandshakeTest, public ::testing::WithParamInterface<ExitRow> {};

TEST_P(HandshakeExit, WritesItsTextEndsTheSessionAndReleasesEverything) {
    const ExitRow& row = GetParam();
    g_initCalls = 0;
    row.arrange(driver);
    SetLastError(kSentinel);
    EXPECT_EQ(CMiscCommon::_Initialize(), row.result);
    const DWORD lastError = GetLastError();
    HostFaults() = nullptr;
    EXPECT_EQ(ErrorText(), std::string("MiscCommon::CMiscCommon::_Initialize: ") + row.text);
    const uint32_t id = DriverSessionId();
    if (row.endsSession) {
        EXPECT_EQ(driver.Count(IOCTL_MISC_CLOSE_SESSION), 1u);
        if (id != 0) {
            EXPECT_TRUE(EndedSession(id));
        }
    } else {
        EXPECT_EQ(driver.Count(IOCTL_MISC_CLOSE_SESSION), 0u);
    }
    if (row.lastError != kSentinel) {
        EXPECT_EQ(lastError, row.lastError);
    }
    EXPECT_EQ(CMiscCommon::_pBlowfish, nullptr);
    EXPECT_EQ(CMiscCommon::_sessionId, 0u);
    EXPECT_EQ(HostHeap().liveBlocks, 0u) << "a heap block was left";
    EXPECT_EQ(unwipedKeyBlocks, 0) << "a key-bearing block was freed unwiped";
}

INSTANTIATE_TEST_SUITE_P(
    EveryExit, HandshakeExit,
    ::testing::Values(
        ExitRow{"pow2mod", [](ScriptedDriver&) { g_primitives.pow2mod = FailPow2mod; },
                MISC_PLATFORM_FAILURE, "pow2mod failed.", false, kSentinel},
        ExitRow{"phase1Fails", PhaseReply(160, true, 0), MISC_PLATFORM_FAILURE,
                "DeviceIoControl failed.", false, ERROR_GEN_FAILURE},
        ExitRow{"phase1Short", PhaseReply(160, false, 1), MISC_PLATFORM_FAILURE,
                "DeviceIoControl failed.", false, kSentinel},
        ExitRow{"scratchAlloc", [](ScriptedDriver&) { FailCall("HeapAlloc", 0, 8); },
                MISC_NO_MEMORY, "HeapAlloc (phase2) failed.", true, ERROR_NOT_ENOUGH_MEMORY},
        ExitRow{"phase2Fails", PhaseReply(28, true, 0), MISC_PLATFORM_FAILURE,
                "DeviceIoControl (phase2) failed.", true, ERROR_GEN_FAILURE},
        ExitRow{"phase2Short", PhaseReply(28, false, 1), MISC_PLATFORM_FAILURE,
                "DeviceIoControl (phase2) failed.", true, kSentinel},
        ExitRow{"proofLastByte", PhaseReply(28, false, 0, 1), MISC_NOT_FOUND,
                "Driver Authentication Failed.", true, kSentinel},
        ExitRow{"powmod", [](ScriptedDriver&) { g_primitives.powmod = FailPowmod; }, MISC_NOT_FOUND,
                "Key Encryption Key calculation failed.", true, kSentinel},
        ExitRow{"contextAlloc", [](ScriptedDriver&) { FailCall("HeapAlloc", 1, 8); },
                MISC_NO_MEMORY, "HeapAlloc (phase3) failed.", true, ERROR_NOT_ENOUGH_MEMORY},
        ExitRow{"firstKeying",
                [](ScriptedDriver&) { g_primitives.blowfishInitialize = InitFailsFirstTime; },
                MISC_PLATFORM_FAILURE, "BlowfishInitialize (1st time) failed.", true, kSentinel},
        ExitRow{"encipher", [](ScriptedDriver&) { g_primitives.blowfishEncipher = EncipherFails; },
                MISC_PLATFORM_FAILURE, "BlowfishEncipher failed.", true, kSentinel},
        ExitRow{"phase3Fails", PhaseReply(24, true, 0), MISC_PLATFORM_FAILURE,
                "DeviceIoControl (phase3) failed.", true, ERROR_GEN_FAILURE},
        ExitRow{"phase3Short", PhaseReply(24, false, 1), MISC_PLATFORM_FAILURE,
                "DeviceIoControl (phase3) failed.", true, kSentinel},
        ExitRow{"secondKeying",
                [](ScriptedDriver&) { g_primitives.blowfishInitialize = InitFailsSecondTime; },
                MISC_PLATFORM_FAILURE, "BlowfishInitialize (2nd time) failed.", true, kSentinel},
        ExitRow{"decipher", [](ScriptedDriver&) { g_primitives.blowfishDecipher = DecipherFails; },
                MISC_PLATFORM_FAILURE, "BlowfishDecipher failed.", true, kSentinel},
        ExitRow{"confirmation",
                [](ScriptedDriver& d) {
                    d.machine.faults.insert(QuenwickSim::Fault::kWrongConfirmation);
                },
                MISC_PLATFORM_FAILURE, "BlowfishDecipher failed.", true, kSentinel}),
    [](const ::testing::TestParamInfo<ExitRow>& info) { return std::string(info.param.name); });

TEST_F(HandshakeTest, EndSessionCarriesTheIdFromTheIni1Reply) {
    driver.machine.faults.insert(QuenwickSim::Fault::kWrongProof);
    EXPECT_EQ(CMiscCommon::_Initialize(), MISC_NOT_FOUND);
    ASSERT_EQ(driver.Count(IOCTL_MISC_CLOSE_SESSION), 1u);
    EXPECT_TRUE(EndedSession(DriverSessionId()));
}

uint32_t g_driverB[33];
int g_keyings = 0;
bool g_kekMatches = false;

bool CheckKek(BlowfishContext* c, const uint8_t* k, uint32_t n) {
    if (g_keyings++ == 0) {
        uint32_t K[33] = {};
        EXPECT_TRUE(powmod(K, 33, g_driverB, 33, kX, 4, kPrime, 33));
        Sha1Context sha;
        uint8_t digest[20];
        sha1_init(&sha);
        sha1_update(&sha, reinterpret_cast<const uint8_t*>(K), 132);
        sha1_final(&sha);
        sha1_result(&sha, digest);
        g_kekMatches = n == 16 && std::memcmp(k, digest, 16) == 0;
    }
    return BlowfishInitialize(c, k, n);
}

TEST_F(HandshakeTest, KeyEncryptionKeyIsSha1OfAll132BytesOfTheSharedSecret) {
    CountingGenerator::Install();
    driver.replace = [&](const RecordedRequest& r, size_t) -> std::optional<HostReply> {
        if (r.code != IOCTL_MISC_SESSION || r.input.size() != 160) {
            return std::nullopt;
        }
        HostReply reply = driver.DriverAnswer(r);
        std::memcpy(g_driverB, reply.output.data() + 4, 132);
        return reply;
    };
    g_keyings = 0;
    g_primitives.blowfishInitialize = CheckKek;
    ASSERT_EQ(CMiscCommon::_Initialize(), MISC_SUCCESS) << ErrorText();
    EXPECT_EQ(g_keyings, 2);
    EXPECT_TRUE(g_kekMatches);
}

// Two faults a client's shared-secret computation could have: a wrong exponent, and the
// driver's value read with its words in the wrong order.
bool PowmodWrongExponent(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
                         const uint32_t* exp, uint32_t expWords, const uint32_t* mod,
                         uint32_t modWords) {
    uint32_t wrong[4] = {};
    std::memcpy(wrong, exp, 4 * expWords);
    wrong[0] ^= 1;
    return powmod(out, outWords, base, baseWords, wrong, expWords, mod, modWords);
}

bool PowmodWordsReversed(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
                         const uint32_t* exp, uint32_t expWords, const uint32_t* mod,
                         uint32_t modWords) {
    uint32_t reversed[33] = {};
    for (uint32_t i = 0; i < 32; ++i) {
        reversed[i] = base[31 - i] & (i == 31 ? 0x7FFFFFFFu : 0xFFFFFFFFu);
    }
    return powmod(out, outWords, reversed, baseWords, exp, expWords, mod, modWords);
}

// The session key reaches the driver only under a key-encryption key that both sides derive
// from the shared secret, so a wrong secret fails the handshake every time, whatever the
// driver's exponent.
TEST_F(HandshakeTest, AWrongSharedSecretFailsEveryHandshake) {
    using Powmod = decltype(g_primitives.powmod);
    const struct {
        const char* name;
        Powmod powmod;
        MiscStatus expected;
    } clients[] = {
        {"correct", powmod, MISC_SUCCESS},
        {"wrong exponent", PowmodWrongExponent, MISC_PLATFORM_FAILURE},
        {"words reversed", PowmodWordsReversed, MISC_PLATFORM_FAILURE},
    };
    for (uint64_t seed = 1; seed <= 16; ++seed) {
        for (const auto& client : clients) {
            SCOPED_TRACE(::testing::Message() << client.name << ", driver seed " << seed);
            ResetDriverClient();
            driver.machine.seed = seed;
            driver.Install();
            ASSERT_EQ(CMiscCommon::OpenDriver(), MISC_SUCCESS);
            g_primitives.powmod = client.powmod;
            EXPECT_EQ(CMiscCommon::_Initialize(), client.expected) << ErrorText();
            if (client.expected != MISC_SUCCESS) {
                EXPECT_EQ(ErrorText(),
                          "MiscCommon::CMiscCommon::_Initialize: BlowfishDecipher failed.");
                EXPECT_EQ(CMiscCommon::_pBlowfish, nullptr);
            }
        }
    }
}

}  // namespace
