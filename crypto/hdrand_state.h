// The hdrand generator's process-wide state, for the generator and its tests.
#pragma once

#include "crypto/sha1.h"

struct HdrandState {
    uint8_t pool[20];  // the digest words are drawn from
    uint32_t index;    // byte position of the next draw
    Sha1Context hash;  // used by the generator alone
};

extern HdrandState g_hdrand;
