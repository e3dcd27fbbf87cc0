// The crypto primitives the handshake and the capsule call, through one table, so that tests
// can make any of them fail or draw chosen words. Holds the real primitives otherwise.
#pragma once

#include <cstdint>

struct BlowfishContext;

namespace MiscCommon {

struct Primitives {
    bool (*hdrandInit)();
    int (*hdrandTest)();
    uint32_t (*hdrandNext)();
    bool (*pow2mod)(uint32_t* out, uint32_t outWords, const uint32_t* exp, uint32_t expWords,
                    const uint32_t* mod, uint32_t modWords);
    bool (*powmod)(uint32_t* out, uint32_t outWords, const uint32_t* base, uint32_t baseWords,
                   const uint32_t* exp, uint32_t expWords, const uint32_t* mod, uint32_t modWords);
    bool (*blowfishInitialize)(BlowfishContext* pContext, const uint8_t* pKey, uint32_t keyLength);
    bool (*blowfishEncipher)(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight);
    bool (*blowfishDecipher)(const BlowfishContext* pContext, uint32_t* pLeft, uint32_t* pRight);
};

extern Primitives g_primitives;
extern const Primitives kRealPrimitives;

}  // namespace MiscCommon
