// The mascot window on the headless window system: its load step, its ticks, the mouse and unloading.
#include <gtest/gtest.h>

#include <cmath>

#include "mascot/Form1.h"
#include "resources/layouts/Form1Layout.h"
#include "tests/mascot/ShapeTestSupport.h"
#include "tests/support/HeadlessApp.h"
#include "tests/support/ScriptedRandom.h"

using app::App;
using mascot::Form1;

namespace {

using form1_layout::Picture1;
using form1_layout::Timer1;
using platform::ProgramEnded;

class MascotTest : public ::testing::Test {
protected:
    MascotTest() : app(h.Create()), form(app.GetForm1()) {}

    platform::HeadlessWindow& Window() {
        platform::HeadlessWindow* w = h.gui.Window(L"Form1");
        EXPECT_NE(w, nullptr);
        return *w;
    }
    // Puts the window at a pixel position, as a drag would leave it.
    void Place(int x, int y) { Window().Move(x, y); }
    void Tick() { h.gui.Advance(500); }
    int ExpectedFrame() const { return form.StepsLeft % 2 + (form.StepX > 0 ? 2 : 0) + (form.StepY < 0 ? 4 : 0); }
    static bool HaveShippedFrames() {
        for (const shape_check::Case& c : shape_test::Cases()) {
            if (c.shipped && !c.picture)
                return false;
        }
        return true;
    }

    HeadlessApp h;
    App& app;
    Form1& form;
    ScriptedRandom rng{app.Rng()};
};

TEST_F(MascotTest, LoadStepSizesRaisesAndReadsTheScreenButAppliesNoShape) {
    h.gui.SetScreen(1280, 1024, 12);
    form.Load();
    auto& w = Window();
    EXPECT_EQ(w.Bounds().width, 100);  // 1200 × 1500 twips at 12 twips per pixel
    EXPECT_EQ(w.Bounds().height, 125);
    EXPECT_TRUE(w.IsTopmost());
    EXPECT_EQ(h.gui.Log().back(), L"topmost Form1 0x3");
    EXPECT_FALSE(w.IsVisible());
    EXPECT_EQ(form.TppX, 12);
    EXPECT_EQ(form.TppY, 12);
    EXPECT_EQ(w.TimerInterval(Timer1), 500);
    EXPECT_EQ(w.RegionCount(), 0);
    EXPECT_EQ(w.FormPicture(), form[Picture1(0)].Picture());
    EXPECT_EQ(h.regions.LiveCount(), 0u);  // the build deletes every region it made
    EXPECT_EQ(rng.draws, 0);
}

TEST_F(MascotTest, RecordsOfTheLoadedFramesMatchTheReferenceAndRepeatEveryFourFrames) {
    ASSERT_TRUE(HaveShippedFrames()) << "a shipped frame picture does not decode";
    form.Load();
    for (int k = 0; k < 8; ++k) {
        platform::Control box = form[Picture1(k)];
        mascot::RegionRecord reference;
        mascot::BuildRecordPerPixel(
            h.regions, [&](int x, int y) { return box.Point(x, y); }, reference);
        EXPECT_EQ(form.FrameRgnData[size_t(k)].bytes, reference.bytes) << "frame " << k;
        EXPECT_LE(form.FrameRgnData[size_t(k)].bytes.size(), mascot::kRecordBytes);
    }
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(form.FrameRgnData[size_t(k)].bytes, form.FrameRgnData[size_t(k + 4)].bytes);
}

TEST_F(MascotTest, FirstTickAfterLoadDrawsAMotionAndShowsItsFrame) {
    form.Load();
    Place(300, 300);
    rng.script = {0.0f, 0.6f, 0.25f};  // count 6, one pixel right, -150 twips (10 pixels) up
    h.gui.Advance(499);
    EXPECT_EQ(rng.draws, 0);
    h.gui.Advance(1);
    EXPECT_EQ(rng.draws, 3);
    EXPECT_EQ(form.StepsLeft, 5);
    EXPECT_EQ(form.StepX, 15);
    EXPECT_EQ(form.StepY, -150);
    auto& w = Window();
    EXPECT_EQ(w.Bounds().x, 301);
    EXPECT_EQ(w.Bounds().y, 290);
    int k = ExpectedFrame();
    EXPECT_EQ(k, 7);
    EXPECT_EQ(w.FormPicture(), form[Picture1(k)].Picture());
    ASSERT_NE(w.Region(), nullptr);
    EXPECT_EQ(shape_test::Rasterize(h.regions.Rects(w.Region())),
              shape_test::Rasterize(form.FrameRgnData[size_t(k)].Rects()));

    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_EQ(rng.draws, 3);  // six ticks for a count of six
    EXPECT_EQ(form.StepsLeft, 0);
    EXPECT_EQ(w.Bounds().x, 306);
    Tick();
    EXPECT_EQ(rng.draws, 6);
}

TEST_F(MascotTest, HiddenMascotKeepsWanderingAndIsShownWhereItGot) {
    form.Show();
    form.Hide();
    Place(100, 100);
    rng.script = {kLastDraw, kLastDraw, 0.5f};  // 26 ticks to the right, 5 pixels each
    for (int i = 0; i < 4; ++i)
        Tick();
    auto& w = Window();
    EXPECT_FALSE(w.IsVisible());
    EXPECT_EQ(w.Bounds().x, 120);
    EXPECT_EQ(w.RegionCount(), 4);
    form.Show();
    EXPECT_EQ(w.Bounds().x, 120);
}

TEST_F(MascotTest, EdgesHoldTheWindowFlushWithoutTurningIt) {
    form.Load();
    Place(0, 0);
    rng.script = {kLastDraw, 0.0f, 0.0f};  // left and up, into the corner
    for (int i = 0; i < 3; ++i) {
        Tick();
        EXPECT_EQ(Window().Bounds().x, 0);
        EXPECT_EQ(Window().Bounds().y, 0);
        EXPECT_EQ(ExpectedFrame() & 6, 4);  // left-going, upward
    }
    EXPECT_EQ(form.StepX, -75);
    EXPECT_EQ(form.StepY, -300);

    form.StepsLeft = 0;
    Place(1024 - 80, 768 - 100);
    rng.script = {kLastDraw, kLastDraw, kLastDraw};  // right and down, into the other corner
    for (int i = 0; i < 3; ++i) {
        Tick();
        EXPECT_EQ(Window().Bounds().x, 944);
        EXPECT_EQ(Window().Bounds().y, 668);
        EXPECT_EQ(ExpectedFrame() & 6, 2);  // right-going, not upward
    }
    EXPECT_EQ(form.StepX, 75);
    EXPECT_EQ(form.StepY, 300);
}

TEST_F(MascotTest, WindowDraggedPartlyOffScreenComesBackFlush) {
    form.Load();
    Place(-30, 700);
    rng.script = {kLastDraw, 0.6f, 0.5f};  // one pixel right, no vertical step
    Tick();
    EXPECT_EQ(Window().Bounds().x, 0);
    EXPECT_EQ(Window().Bounds().y, 668);

    Place(1000, -5);
    Tick();
    EXPECT_EQ(Window().Bounds().x, 944);
    EXPECT_EQ(Window().Bounds().y, 0);
}

TEST_F(MascotTest, StillStepsShowTheLeftGoingDownwardFrames) {
    form.Load();
    rng.script = {0.05f, 0.5f, 0.5f};  // count 7, no step either way
    std::vector<platform::PicturePtr> shown;
    for (int i = 0; i < 7; ++i) {
        Tick();
        EXPECT_EQ(ExpectedFrame(), i % 2);
        shown.push_back(Window().FormPicture());
    }
    EXPECT_EQ(form.StepX, 0);
    EXPECT_EQ(form.StepY, 0);
    EXPECT_EQ(shown.front(), form[Picture1(0)].Picture());
    EXPECT_EQ(shown[1], form[Picture1(1)].Picture());
    EXPECT_EQ(shown.back(), form[Picture1(0)].Picture());
}

TEST_F(MascotTest, PositionOverflowIsARunTimeError) {
    form.Load();
    Place(150000000, 0);  // 2,250,000,000 twips: beyond 32 bits
    try {
        Tick();
        FAIL() << "program did not end";
    } catch (const ProgramEnded& e) {
        EXPECT_TRUE(e.byRuntimeError);
        EXPECT_EQ(e.errorNumber, platform::kOverflowError);
    }
}

TEST_F(MascotTest, FrameNumberOutsideTheRecordsIsARunTimeError) {
    form.Load();
    for (std::int16_t k : {std::int16_t(-1), std::int16_t(8), std::int16_t(9)}) {
        try {
            form.CreateFrameRegion(k);
            FAIL() << k;
        } catch (const platform::RuntimeErrorException& e) {
            EXPECT_EQ(e.number, 9);
            EXPECT_EQ(e.description, L"インデックスが有効範囲にありません。");
        }
    }
}

TEST_F(MascotTest, RecordNeverFilledLeavesTheWindowRectangular) {
    form.Load();
    Tick();
    ASSERT_NE(Window().Region(), nullptr);
    form.FrameRgnData[3] = {};
    platform::RegionHandle region = form.CreateFrameRegion(3);
    EXPECT_EQ(region, nullptr);
    form.ApplyWindowShape(region);
    EXPECT_EQ(Window().Region(), nullptr);
}

TEST_F(MascotTest, EveryRegionMadeIsHandedToTheWindowWhichReleasesTheOldOne) {
    form.Load();
    for (int i = 0; i < 30; ++i)
        Tick();
    EXPECT_EQ(Window().RegionCount(), 30);
    EXPECT_EQ(h.regions.LiveCount(), 1u);  // only the window's current outline is alive
    form.Unload();
    EXPECT_EQ(h.regions.LiveCount(), 0u);
}

TEST_F(MascotTest, MouseButtons) {
    form.Load();
    auto& w = Window();
    w.MouseDown(platform::kMiddleButton);
    EXPECT_EQ(w.CaptionDrags(), 0);
    w.MouseDown(platform::kLeftButton);
    EXPECT_EQ(w.CaptionDrags(), 1);
    w.MouseDown(platform::kLeftButton | platform::kRightButton);
    EXPECT_EQ(w.CaptionDrags(), 2);
    try {
        w.MouseDown(platform::kRightButton);
        FAIL() << "program did not end";
    } catch (const ProgramEnded& e) {
        EXPECT_FALSE(e.byRuntimeError);
    }
    EXPECT_TRUE(h.mci.commands.empty());  // no unload step ran
    EXPECT_TRUE(form.IsLoaded());
}

TEST_F(MascotTest, UnloadClosesTheSoundAndStopsTheTicks) {
    form.Load();
    Tick();
    form.Unload();
    EXPECT_EQ(h.mci.commands, std::vector<std::wstring>{L"close MIDIFILE"});
    EXPECT_EQ(h.gui.Window(L"Form1"), nullptr);
    int before = rng.draws;
    h.gui.Advance(30000);
    EXPECT_EQ(rng.draws, before);
}

TEST_F(MascotTest, ReloadStartsAFreshMotionAndRebuildsTheOutlines) {
    form.Load();
    rng.script = {kLastDraw, 0.0f, 0.0f};
    Tick();
    Tick();
    EXPECT_EQ(form.StepsLeft, 24);
    form.Unload();
    form.FrameRgnData[0] = {};
    h.gui.SetScreen(1024, 768, 12);
    form.Load();
    EXPECT_EQ(form.StepsLeft, 0);
    EXPECT_EQ(form.TppX, 12);
    EXPECT_EQ(form.FrameRgnData[0].Header().dwSize, 32u);
    int before = rng.draws;
    Tick();
    EXPECT_EQ(rng.draws, before + 3);
}

}  // namespace
