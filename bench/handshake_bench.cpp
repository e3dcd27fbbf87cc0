// Times the driver client's open and session handshake against a running driver program (for
// instance quenwick-sim under the same host root). Prints the mean and the spread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driver_client/misc_common.h"

using MiscCommon::CMiscCommon;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
    std::vector<double> open, handshake;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (CMiscCommon::OpenDriver() != 0) {
            std::fprintf(stderr, "handshake_bench: no driver to open\n");
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        if (CMiscCommon::_Initialize() != 0) {
            std::fprintf(stderr, "handshake_bench: the handshake failed\n");
            return 1;
        }
        const auto t2 = std::chrono::steady_clock::now();
        CMiscCommon::CloseDriver();
        open.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        handshake.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    for (auto* series : {&open, &handshake}) {
        std::sort(series->begin(), series->end());
    }
    const auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v) {
            sum += x;
        }
        return sum / static_cast<double>(v.size());
    };
    std::printf("open_ms %.3f handshake_ms %.3f handshake_median_ms %.3f handshake_max_ms %.3f\n",
                mean(open), mean(handshake), handshake[handshake.size() / 2], handshake.back());
    return 0;
}
