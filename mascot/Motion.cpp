// One tick of the mascot's motion.
//
// Arithmetic: the single-precision draws and factors are widened to double before any operation. A draw
// is a multiple of 2^-24 below 1, so r * 10 needs at most 28 significant bits, r * 10 - 5 at most 28,
// and its product with a single-precision factor (24 bits) at most 52: every intermediate value is
// exact in double, and rounding (ties to even) sees the exact value. Doing the same sums in single
// precision would round r * 10 first and could move a result across a .5 boundary.
#include "mascot/Motion.h"

#include "app/Random.h"
#include "platform/Numeric.h"

namespace mascot {

using platform::RoundToInt16;
using platform::RoundToInt32;

void DrawMotionIfDue(MotionState state, app::Random& random, float tppX, float tppY) {
    if (state.stepsLeft >= 1)
        return;
    double r1 = random.Next();
    state.stepsLeft = RoundToInt16((r1 * 10 + 3) * 2);
    double r2 = random.Next();
    state.stepX = RoundToInt16((r2 * 10 - 5) * double(tppX));
    double r3 = random.Next();
    state.stepY = RoundToInt16((r3 * 10 - 5) * double(tppY) * 4);
}

std::int32_t KeepOnScreen(std::int32_t position, float size, float screen) {
    if (position < 0)
        position = 0;
    // The far-edge test adds in single precision; the flush position is rounded from the exact difference.
    float farEdge = float(position) + size;
    if (farEdge > screen)
        position = RoundToInt32(double(screen) - double(size));
    return position;
}

std::int16_t FrameNumber(std::int16_t stepsLeft, std::int16_t stepX, std::int16_t stepY) {
    return std::int16_t(stepsLeft % 2 + (stepX > 0 ? 2 : 0) + (stepY < 0 ? 4 : 0));
}

TickOutcome AdvanceMotion(MotionState state, app::Random& random, const TickInputs& in) {
    DrawMotionIfDue(state, random, in.tppX, in.tppY);
    state.stepsLeft = platform::SubtractInt16(state.stepsLeft, 1);
    std::int32_t x = RoundToInt32(double(in.left) + state.stepX);
    std::int32_t y = RoundToInt32(double(in.top) + state.stepY);
    x = KeepOnScreen(x, in.width, in.screenWidth);
    y = KeepOnScreen(y, in.height, in.screenHeight);
    return {x, y, FrameNumber(state.stepsLeft, state.stepX, state.stepY)};
}

}  // namespace mascot
