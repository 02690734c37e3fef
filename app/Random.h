// The program's one random-number generator: single-precision draws in [0, 1), seeded from the clock.
// Tests replace the source with a script of their own.
#pragma once

#include <cstdint>
#include <functional>

namespace app {

class Random {
public:
    // Seeds from the system clock, as each load of the mascot window does.
    void SeedFromClock();
    void Seed(std::uint32_t seed);
    float Next();

    // Replaces the generator (tests); seeding then does not touch the script.
    void Inject(std::function<float()> source) { injected_ = std::move(source); }

private:
    std::uint32_t state_ = 0x50000;
    std::function<float()> injected_;
};

}  // namespace app
