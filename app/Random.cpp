// A 24-bit linear congruential generator: every draw is an exact single-precision value in [0, 1).
#include "app/Random.h"

#include <chrono>

namespace app {

void Random::SeedFromClock() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    Seed(std::uint32_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
}

void Random::Seed(std::uint32_t seed) {
    state_ = (seed ^ (seed >> 8)) & 0xFFFFFF;
}

float Random::Next() {
    if (injected_)
        return injected_();
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFF;
    return float(state_) / 16777216.0f;
}

}  // namespace app
