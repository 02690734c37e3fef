// What every fuzz target here needs: a small repeatable generator seeded from the input, and a check that
// stops the run where the sanitizers would not.
#pragma once

#include <cstdint>

namespace fuzz {

struct Random {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

inline void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace fuzz
