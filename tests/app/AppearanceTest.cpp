// The appearance sequence, "少女を出す" and "戻す", on virtual time.
#include <gtest/gtest.h>

#include "app/Form2.h"
#include "app/Sound.h"
#include "mascot/Form1.h"
#include "resources/layouts/Form2Layout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"
#include "tests/support/HeadlessApp.h"

using app::App;
using app::Form2;
using app::SoundOpenCommand;

namespace {

using namespace form2_layout;

class Appearance : public ::testing::Test {
protected:
    void SetUp() override { app = &h.Start(); }
    platform::HeadlessWindow& Main() { return *h.gui.Window(L"Form2"); }
    platform::HeadlessWindow* Mascot() { return h.gui.Window(L"Form1"); }
    void PressEvent() { Main().Click(Command1); }
    void ClickSettings(int control) { h.PressSettingsButton(control); }
    // Advances to just after the n-th tick of the appearance timer started at time `start`.
    void AdvanceToTick(long long start, int n) { h.gui.Advance(int(start + 1000LL * n - h.gui.Now())); }

    HeadlessApp h;
    App* app = nullptr;
};

TEST_F(Appearance, ThirteenGrowthsThenMascotShownAtEveryTick) {
    h.mci.commands.clear();
    long long start = h.gui.Now();
    PressEvent();
    EXPECT_EQ(Main().TimerInterval(Timer1), 1000);
    std::wstring folder = h.gui.ProgramFolder();
    EXPECT_EQ(h.mci.commands, (std::vector<std::wstring>{L"open \"" + folder + L"\\Sound\\Kouka.mid\" alias MIDIFILE",
                                                         L"play MIDIFILE notify"}));

    Form2& form2 = app->GetForm2();
    float expected = 375;
    float expectedWidth = kImage2Width;
    for (int tick = 1; tick <= 13; ++tick) {
        AdvanceToTick(start, tick);
        expected *= 1.25f;
        expectedWidth *= 1.25f;
        EXPECT_FLOAT_EQ(form2[Image2].Height(), expected) << "tick " << tick;
        EXPECT_FLOAT_EQ(form2[Image2].Width(), expectedWidth) << "tick " << tick;
        EXPECT_FALSE(Mascot()->IsVisible()) << "tick " << tick;
    }
    EXPECT_FLOAT_EQ(form2[Image2].Left(), kImage2Left);
    EXPECT_FLOAT_EQ(form2[Image2].Top(), kImage2Top);
    int shows = Mascot()->ShowCount();
    AdvanceToTick(start, 14);
    EXPECT_TRUE(Mascot()->IsVisible());
    EXPECT_EQ(Mascot()->ShowCount(), shows + 1);
    AdvanceToTick(start, 16);
    EXPECT_EQ(Mascot()->ShowCount(), shows + 3);
    EXPECT_FLOAT_EQ(form2[Image2].Height(), expected);
    EXPECT_FLOAT_EQ(form2[Image2].Width(), expectedWidth);
}

TEST_F(Appearance, EventAgainWhileShownOnlyResendsSound) {
    long long start = h.gui.Now();
    PressEvent();
    AdvanceToTick(start, 14);
    float height = app->GetForm2()[Image2].Height();
    h.mci.commands.clear();
    PressEvent();
    EXPECT_EQ(h.mci.commands.size(), 2u);
    EXPECT_FLOAT_EQ(app->GetForm2()[Image2].Height(), height);
    h.gui.Advance(1000);
    EXPECT_TRUE(Mascot()->IsVisible());
}

class PutBack : public Appearance, public ::testing::WithParamInterface<int> {};

// From idle (the mascot loaded and hidden since start-up), while growing, and while shown.
TEST_P(PutBack, ReturnsToIdleFromEveryState) {
    int ticks = GetParam();
    long long start = h.gui.Now();
    if (ticks > 0)
        PressEvent();
    h.gui.Advance(int(start + 1000LL * ticks - h.gui.Now()) + 10);
    h.mci.commands.clear();
    ClickSettings(setform_layout::Command4);

    EXPECT_EQ(Main().TimerInterval(Timer1), 0);
    EXPECT_EQ(Mascot(), nullptr);
    EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
    EXPECT_EQ(h.mci.commands, std::vector<std::wstring>{L"close MIDIFILE"});
    platform::Control image = app->GetForm2()[Image2];
    EXPECT_EQ(image.Left(), kImage2Left);
    EXPECT_EQ(image.Top(), kImage2Top);
    EXPECT_EQ(image.Width(), kImage2Width);
    EXPECT_EQ(image.Height(), kImage2Height);
    h.gui.Advance(20000);
    EXPECT_EQ(Mascot(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Appearance, PutBack, ::testing::Values(0, 5, 15));

TEST_F(Appearance, ShowGirlWhileRunningRestartsTimerAndSoundButKeepsPicture) {
    long long start = h.gui.Now();
    PressEvent();
    AdvanceToTick(start, 3);
    float height = app->GetForm2()[Image2].Height();
    h.mci.commands.clear();
    ClickSettings(setform_layout::Command3);
    EXPECT_EQ(Main().TimerInterval(Timer1), 1000);
    EXPECT_EQ(h.mci.commands.size(), 2u);
    EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
    EXPECT_FLOAT_EQ(app->GetForm2()[Image2].Height(), height);
}

TEST_F(Appearance, ShownMascotAfterPutBackIsAFreshWindow) {
    ClickSettings(setform_layout::Command4);
    long long start = h.gui.Now();
    ClickSettings(setform_layout::Command3);
    AdvanceToTick(start, 14);
    ASSERT_NE(Mascot(), nullptr);
    EXPECT_TRUE(Mascot()->IsVisible());
    EXPECT_TRUE(Mascot()->IsTopmost());
}

TEST(SoundCommand, QuotesTheShortPathWhenThereIsOneElseTheLongOne) {
    platform::HeadlessMci mci;
    EXPECT_EQ(SoundOpenCommand(mci, L"C:\\Program Files\\Sorabune"),
              L"open \"C:\\Program Files\\Sorabune\\Sound\\Kouka.mid\" alias MIDIFILE");
    mci.shortPaths[L"C:\\ドキュメント\\★コピー\\Sound\\Kouka.mid"] = L"C:\\C6D0~1\\3A7C~1\\Sound\\Kouka.mid";
    EXPECT_EQ(SoundOpenCommand(mci, L"C:\\ドキュメント\\★コピー"),
              L"open \"C:\\C6D0~1\\3A7C~1\\Sound\\Kouka.mid\" alias MIDIFILE");
}

}  // namespace
