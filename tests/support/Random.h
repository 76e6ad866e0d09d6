// A small deterministic generator (xorshift64) for property tests.
#pragma once

#include <stdint.h>

namespace kutest {

struct Random {
    uint64_t state = 0x9E3779B97F4A7C15u; // any value but 0

    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    int below(int n) { return (int)(next() % (uint64_t)n); }
    bool chance(int percent) { return below(100) < percent; }
};

} // namespace kutest
