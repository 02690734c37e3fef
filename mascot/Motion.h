// The mascot's wandering: a random step held for a random number of ticks, the window kept on the
// screen, and the frame picked from the way it goes and the parity of the tick. Pure logic; the
// window applies the outcome.
#pragma once

#include <cstdint>

namespace app {
class Random;
}  // namespace app

namespace mascot {

// The motion state the window keeps between ticks.
struct MotionState {
    std::int16_t& stepsLeft;
    std::int16_t& stepX;  // twips per tick, positive to the right
    std::int16_t& stepY;  // twips per tick, positive downwards
};

// What a tick reads, all in twips except the factors.
struct TickInputs {
    float tppX, tppY;                 // twips per pixel, as read at load
    float left, top;                  // the window's position now
    float width, height;              // the frame picture's size
    float screenWidth, screenHeight;  // the whole primary screen
};

struct TickOutcome {
    std::int32_t x, y;   // where the window goes, in twips
    std::int16_t frame;  // 0..7
};

// Draws a new motion when the current one has run out. Raises an overflow when a value leaves 16 bits.
void DrawMotionIfDue(MotionState state, app::Random& random, float tppX, float tppY);

// One position coordinate kept on the screen: 0 at the top or left edge, screen - size at the other.
std::int32_t KeepOnScreen(std::int32_t position, float size, float screen);

// The frame for the remaining count and the step's direction: parity, then right-going, then upward.
std::int16_t FrameNumber(std::int16_t stepsLeft, std::int16_t stepX, std::int16_t stepY);

// Everything a timer tick decides: draw if due, count down, move and clamp, pick the frame.
TickOutcome AdvanceMotion(MotionState state, app::Random& random, const TickInputs& in);

}  // namespace mascot
