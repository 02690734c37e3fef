// What every fuzz target here needs: a small repeatable generator seeded from the input, the input cut into
// the reads of a scripted stream, and a check that stops the run where the sanitizers would not.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "ScriptedStream.h"

namespace fuzz {

struct Random {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// Gives `bytes` to `stream` as reads of 1 to `most()` bytes each, their sizes drawn from `random`.
template <class Most>
void AddAsReads(nmail::testing::ScriptedStream& stream, std::string_view bytes, Random& random, Most most) {
    for (size_t at = 0; at < bytes.size();) {
        const uint32_t draw = random.Next();
        const size_t n = std::min<size_t>(bytes.size() - at, 1 + draw % most());
        stream.Add(std::string(bytes.substr(at, n)));
        at += n;
    }
}

inline void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace fuzz
