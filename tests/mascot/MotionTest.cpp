// The motion rules on their own: draws, counting down, keeping on the screen and picking the frame.
#include <gtest/gtest.h>

#include <cmath>

#include "mascot/Motion.h"
#include "platform/Numeric.h"
#include "tests/support/ScriptedRandom.h"

namespace {

using mascot::AdvanceMotion;
using mascot::FrameNumber;
using mascot::KeepOnScreen;
using mascot::TickInputs;

struct Motion {
    std::int16_t stepsLeft = 0, stepX = 0, stepY = 0;
    mascot::MotionState State() { return {stepsLeft, stepX, stepY}; }
};

// A 1024 × 768 screen at 15 twips per pixel, the window in the middle.
TickInputs Middle() {
    return {15, 15, 7500, 6000, 1200, 1500, 15360, 11520};
}

TEST(MotionDraw, CountAndStepsSpanTheirRanges) {
    ScriptedRandom s;
    Motion m;
    s.script = {0.0f, 0.0f, 0.0f};
    mascot::DrawMotionIfDue(m.State(), s.random, 15, 15);
    EXPECT_EQ(m.stepsLeft, 6);
    EXPECT_EQ(m.stepX, -75);
    EXPECT_EQ(m.stepY, -300);

    m.stepsLeft = 0;
    s.script = {kLastDraw, kLastDraw, kLastDraw};
    mascot::DrawMotionIfDue(m.State(), s.random, 15, 15);
    EXPECT_EQ(m.stepsLeft, 26);
    EXPECT_EQ(m.stepX, 75);
    EXPECT_EQ(m.stepY, 300);

    m.stepsLeft = 0;
    s.script = {0.5f, 0.5f, 0.5f};
    mascot::DrawMotionIfDue(m.State(), s.random, 15, 15);
    EXPECT_EQ(m.stepsLeft, 16);
    EXPECT_EQ(m.stepX, 0);
    EXPECT_EQ(m.stepY, 0);
    EXPECT_EQ(s.draws, 9);
}

TEST(MotionDraw, RoundsTheExactValueTiesToEven) {
    ScriptedRandom s;
    Motion m;
    auto draw = [&](float r1, float r2, float r3, float tpp) {
        m.stepsLeft = 0;
        s.script = {r1, r2, r3};
        mascot::DrawMotionIfDue(m.State(), s.random, tpp, tpp);
    };
    draw(0.125f, 0.25f, 0.75f, 1);  // 8.5, -2.5 and 2.5 × 4 = 10
    EXPECT_EQ(m.stepsLeft, 8);
    EXPECT_EQ(m.stepX, -2);
    EXPECT_EQ(m.stepY, 10);
    draw(0.375f, 0.75f, 0.3125f, 1);  // 13.5, 2.5, -1.875 × 4 = -7.5
    EXPECT_EQ(m.stepsLeft, 14);
    EXPECT_EQ(m.stepX, 2);
    EXPECT_EQ(m.stepY, -8);
    // 8.5 plus a hair: single-precision sums would lose the hair and round to 8.
    draw(0.125f + std::ldexp(1.0f, -26), 0.5f, 0.5f, 15);
    EXPECT_EQ(m.stepsLeft, 9);
}

TEST(MotionDraw, StepBeyondSixteenBitsIsAnOverflow) {
    ScriptedRandom s;
    Motion m;
    s.script = {0.5f, 0.0f, 0.5f};
    try {
        mascot::DrawMotionIfDue(m.State(), s.random, 7000, 15);  // -5 × 7000 = -35000
        FAIL() << "no overflow";
    } catch (const platform::RuntimeErrorException& e) {
        EXPECT_EQ(e.number, platform::kOverflowError);
    }
}

// Runs ticks in the middle of the screen and returns the frames shown, drawing once at the start.
std::vector<int> FramesOfOneMotion(float r1, float r2, float r3, int* drawsAfter = nullptr) {
    ScriptedRandom s;
    Motion m;
    s.script = {r1, r2, r3};
    std::vector<int> frames;
    do {
        frames.push_back(AdvanceMotion(m.State(), s.random, Middle()).frame);
    } while (m.stepsLeft > 0);
    int before = s.draws;
    AdvanceMotion(m.State(), s.random, Middle());
    if (drawsAfter)
        *drawsAfter = s.draws - before;
    return frames;
}

TEST(MotionTicks, MotionOfCountCLastsExactlyCTicksAndEndsOnTheFirstPose) {
    int drawsAfter = 0;
    // Count 6, leftwards and downwards: second pose first, alternating, first pose last.
    EXPECT_EQ(FramesOfOneMotion(0.0f, 0.0f, kLastDraw, &drawsAfter), (std::vector<int>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(drawsAfter, 3);
    // Count 7 (r1 = 0.05 gives 7): first pose first.
    std::vector<int> seven = FramesOfOneMotion(0.05f, 0.0f, kLastDraw);
    EXPECT_EQ(seven, (std::vector<int>{0, 1, 0, 1, 0, 1, 0}));
    // Count 26, rightwards and upwards.
    std::vector<int> longest = FramesOfOneMotion(kLastDraw, kLastDraw, 0.0f, &drawsAfter);
    ASSERT_EQ(longest.size(), 26u);
    EXPECT_EQ(longest.front(), 7);
    EXPECT_EQ(longest.back(), 6);
    EXPECT_EQ(drawsAfter, 3);
}

TEST(MotionTicks, FrameTable) {
    EXPECT_EQ(FrameNumber(0, 0, 0), 0);  // no rightward part, not upward
    EXPECT_EQ(FrameNumber(1, -15, 15), 1);
    EXPECT_EQ(FrameNumber(2, 1, 0), 2);
    EXPECT_EQ(FrameNumber(3, 75, 300), 3);
    EXPECT_EQ(FrameNumber(4, 0, -1), 4);
    EXPECT_EQ(FrameNumber(5, -75, -300), 5);
    EXPECT_EQ(FrameNumber(0, 15, -15), 6);
    EXPECT_EQ(FrameNumber(25, 15, -15), 7);
}

TEST(KeepOnScreen, ClampsToEachEdgeAndAllowsTouching) {
    EXPECT_EQ(KeepOnScreen(-1, 1200, 15360), 0);
    EXPECT_EQ(KeepOnScreen(0, 1200, 15360), 0);
    EXPECT_EQ(KeepOnScreen(14160, 1200, 15360), 14160);  // flush with the right edge
    EXPECT_EQ(KeepOnScreen(14161, 1200, 15360), 14160);
    EXPECT_EQ(KeepOnScreen(900000, 1200, 15360), 14160);
    // Smaller screen than the window: the far edge wins, leaving the position negative.
    EXPECT_EQ(KeepOnScreen(10, 1200, 1000), -200);
    // The far-edge sum is a single-precision value: 2^24 + 1 rounds back down to the screen's width.
    EXPECT_EQ(KeepOnScreen(16777216, 1, 16777216), 16777216);
    EXPECT_EQ(KeepOnScreen(16777218, 1, 16777216), 16777215);
}

}  // namespace
