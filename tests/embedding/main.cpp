#include <cstdio>
#include <cstring>

#include "crypto/big_int.h"
#include "crypto/blowfish.h"
#include "crypto/sha1.h"

int main() {
    Sha1Context c;
    uint8_t digest[20];
    sha1_init(&c);
    sha1_update(&c, reinterpret_cast<const uint8_t*>("abc"), 3);
    sha1_final(&c);
    sha1_result(&c, digest);
    const uint8_t expected[4] = {0xa9, 0x99, 0x3e, 0x36};
    if (std::memcmp(digest, expected, 4) != 0) {
        std::puts("sha1 mismatch");
        return 1;
    }

    const uint32_t e[1] = {10}, m[1] = {1000};
    uint32_t out[2] = {0, 0};
    if (!pow2mod(out, 2, e, 1, m, 1) || out[0] != 24) {
        std::puts("pow2mod mismatch");
        return 1;
    }

    BlowfishContext bf;
    const uint8_t key[16] = {};
    uint32_t l = 0, r = 0;
    if (!BlowfishInitialize(&bf, key, 16) || !BlowfishEncipher(&bf, &l, &r) || l != 0x4EF99745u ||
        r != 0x6198DD78u) {
        std::puts("blowfish mismatch");
        return 1;
    }
    hdrand_init();
    std::puts("ok");
    return 0;
}
