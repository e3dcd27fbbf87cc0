// The handshake's arithmetic and the channel's primitives beside libgmp and OpenSSL's
// libcrypto doing the same work in the same run. Prints Google Benchmark's table, then one
// line per pair: our time, theirs and the ratio.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/blowfish.h>
#include <openssl/sha.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "crypto/big_int.h"
#include "crypto/blowfish.h"
#include "crypto/sha1.h"
#include "tests/support/vectors.h"

namespace {

const std::vector<uint32_t>& Prime() {
    static const std::vector<uint32_t> p = Modp1024Words();
    return p;
}
const uint32_t kExponent[4] = {0x9E3779B9u, 0x7F4A7C15u, 0xF39CC060u, 0};

std::vector<uint32_t> PublicValue() {
    std::vector<uint32_t> a(33, 0);
    pow2mod(a.data(), 33, kExponent, 4, Prime().data(), 33);
    return a;
}

void Pow2modOurs(benchmark::State& state) {
    std::vector<uint32_t> out(33);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pow2mod(out.data(), 33, kExponent, 4, Prime().data(), 33));
    }
}

void PowmodOurs(benchmark::State& state) {
    const std::vector<uint32_t> base = PublicValue();
    std::vector<uint32_t> out(33);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            powmod(out.data(), 33, base.data(), 33, kExponent, 4, Prime().data(), 33));
    }
}

void GmpPowm(benchmark::State& state, const std::vector<uint32_t>& baseWords) {
    mpz_t base, exp, mod, out;
    mpz_inits(base, exp, mod, out, nullptr);
    mpz_import(base, baseWords.size(), -1, 4, 0, 0, baseWords.data());
    mpz_import(exp, 4, -1, 4, 0, 0, kExponent);
    mpz_import(mod, 33, -1, 4, 0, 0, Prime().data());
    for (auto _ : state) {
        mpz_powm(out, base, exp, mod);
        benchmark::DoNotOptimize(out);
    }
    mpz_clears(base, exp, mod, out, nullptr);
}
void Pow2modGmp(benchmark::State& state) {
    GmpPowm(state, {2});
}
void PowmodGmp(benchmark::State& state) {
    GmpPowm(state, PublicValue());
}

const uint8_t kKey[16] = {0x3c, 0x91, 0xe7, 0x05, 0xd2, 0x48, 0x6a, 0xb3,
                          0x1f, 0xc4, 0x7e, 0x29, 0x80, 0x5d, 0xf2, 0xa6};

void BlowfishKeyOurs(benchmark::State& state) {
    BlowfishContext c;
    for (auto _ : state) {
        BlowfishInitialize(&c, kKey, 16);
        benchmark::DoNotOptimize(c);
    }
}
void BlowfishKeyOpenSsl(benchmark::State& state) {
    BF_KEY k;
    for (auto _ : state) {
        BF_set_key(&k, 16, kKey);
        benchmark::DoNotOptimize(k);
    }
}

constexpr int kBlocks = 4096;  // 32 KiB per iteration

void BlowfishBlocksOurs(benchmark::State& state) {
    BlowfishContext c;
    BlowfishInitialize(&c, kKey, 16);
    std::vector<uint32_t> data(2 * kBlocks, 0x01234567u);
    for (auto _ : state) {
        for (int i = 0; i < kBlocks; ++i) {
            BlowfishEncipher(&c, &data[2 * i], &data[2 * i + 1]);
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * 8 * kBlocks);
}
void BlowfishBlocksOpenSsl(benchmark::State& state) {
    BF_KEY k;
    BF_set_key(&k, 16, kKey);
    std::vector<BF_LONG> data(2 * kBlocks, 0x01234567u);
    for (auto _ : state) {
        for (int i = 0; i < kBlocks; ++i) {
            BF_encrypt(&data[2 * i], &k);
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * 8 * kBlocks);
}

const std::vector<uint8_t>& Message() {
    static const std::vector<uint8_t> m(64 * 1024, 0x5A);
    return m;
}
void Sha1Ours(benchmark::State& state) {
    uint8_t digest[20];
    for (auto _ : state) {
        Sha1Context c;
        sha1_init(&c);
        sha1_update(&c, Message().data(), static_cast<uint32_t>(Message().size()));
        sha1_final(&c);
        sha1_result(&c, digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * Message().size());
}
void Sha1OpenSsl(benchmark::State& state) {
    uint8_t digest[20];
    for (auto _ : state) {
        SHA1(Message().data(), Message().size(), digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * Message().size());
}

// Keeps each run's time per iteration, by benchmark name, while printing the usual table.
class PairReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                seconds_[run.benchmark_name()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintPairs(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        std::printf("\n%-22s %14s %14s %8s\n", "work", "ours (us)", "theirs (us)", "ratio");
        for (const auto& [ours, theirs] : pairs) {
            const auto o = seconds_.find(ours);
            const auto t = seconds_.find(theirs);
            if (o == seconds_.end() || t == seconds_.end()) {
                continue;
            }
            std::printf("%-22s %14.3f %14.3f %8.1f\n", ours.c_str(), o->second * 1e6,
                        t->second * 1e6, o->second / t->second);
        }
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

BENCHMARK(Pow2modOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(Pow2modGmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(PowmodOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(PowmodGmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BlowfishKeyOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BlowfishKeyOpenSsl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BlowfishBlocksOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BlowfishBlocksOpenSsl)->Unit(benchmark::kMicrosecond);
BENCHMARK(Sha1Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(Sha1OpenSsl)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    PairReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs({{"Pow2modOurs", "Pow2modGmp"},
                         {"PowmodOurs", "PowmodGmp"},
                         {"BlowfishKeyOurs", "BlowfishKeyOpenSsl"},
                         {"BlowfishBlocksOurs", "BlowfishBlocksOpenSsl"},
                         {"Sha1Ours", "Sha1OpenSsl"}});
    benchmark::Shutdown();
    return 0;
}
