#include <cstring>

#include "crypto/hdrand_state.h"
#include "platform/win32.h"

HdrandState g_hdrand;

namespace {

void StoreLittleEndian(uint8_t* p, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

bool hdrand_init() {
    SYSTEMTIME time{};
    GetSystemTime(&time);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);

    // The seed: the counter as 8 little-endian bytes, then the time record's eight 16-bit
    // fields, each little-endian.
    uint8_t seed[24];
    StoreLittleEndian(seed, static_cast<uint64_t>(counter.QuadPart), 8);
    const WORD fields[8] = {time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                            time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
    for (int i = 0; i < 8; ++i) {
        StoreLittleEndian(seed + 8 + 2 * i, fields[i], 2);
    }

    sha1_init(&g_hdrand.hash);
    sha1_update(&g_hdrand.hash, seed, sizeof seed);
    sha1_final(&g_hdrand.hash);
    sha1_result(&g_hdrand.hash, g_hdrand.pool);
    g_hdrand.index = 0;
    return true;
}

int hdrand_test() {
    return 1;
}

uint32_t hdrand_next() {
    // Resetting at 20 or more (not only above 20) means pool bytes 16 to 19 are never drawn.
    if (g_hdrand.index + 4 >= 20) {
        g_hdrand.index = 0;
    }
    const uint8_t* p = g_hdrand.pool + g_hdrand.index;
    const uint32_t result =
        uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);

    uint8_t index[4];
    StoreLittleEndian(index, g_hdrand.index, 4);
    sha1_init(&g_hdrand.hash);
    sha1_update(&g_hdrand.hash, g_hdrand.pool + 2, 16);
    sha1_update(&g_hdrand.hash, index, 4);
    sha1_final(&g_hdrand.hash);
    sha1_result(&g_hdrand.hash, g_hdrand.pool);
    g_hdrand.index = (g_hdrand.index + 4) % 20;
    return result;
}
