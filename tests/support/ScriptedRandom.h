// A random source that plays a script: each draw takes the next value, and 0.5 once the script has run out.
#pragma once

#include <cmath>
#include <deque>

#include "app/Random.h"

// The highest draw there is, just under 1.
inline const float kLastDraw = std::nextafter(1.0f, 0.0f);

struct ScriptedRandom {
    ScriptedRandom() { Feed(random); }
    // Feeds the program's own generator instead of `random`.
    explicit ScriptedRandom(app::Random& other) { Feed(other); }
    ScriptedRandom(const ScriptedRandom&) = delete;
    ScriptedRandom& operator=(const ScriptedRandom&) = delete;

    app::Random random;
    std::deque<float> script;
    int draws = 0;

private:
    void Feed(app::Random& target) {
        target.Inject([this] {
            ++draws;
            if (script.empty())
                return 0.5f;
            float r = script.front();
            script.pop_front();
            return r;
        });
    }
};
