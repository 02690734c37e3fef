// Start-up and shutdown of the whole program on the headless backends.
#include <gtest/gtest.h>

#include "app/Form2.h"
#include "mascot/Form1.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"
#include "tests/support/HeadlessApp.h"

using app::App;

namespace {

using platform::ProgramEnded;

TEST(Startup, LoadsWindowsInOrderAndInitialisesTheMailLibrary) {
    HeadlessApp h;
    h.WriteFile(h.FlagFile(), "[EXEINI]\r\nNUMBER=1\r\n");
    h.WriteFile(h.ServerFile(), "SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=a@example\r\nAPOP=1\r\n");
    App& app = h.Start();

    const auto& log = h.gui.Log();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log[0], L"create Form2");
    EXPECT_EQ(log[1], L"create Form1");
    EXPECT_EQ(log[2], L"topmost Form1 0x3");
    EXPECT_EQ(log[3], L"show Form1");
    EXPECT_EQ(log[4], L"hide Form1");
    EXPECT_EQ(log[5], L"create SetForm");

    auto* form2 = h.gui.Window(L"Form2");
    ASSERT_NE(form2, nullptr);
    EXPECT_TRUE(form2->IsVisible());
    EXPECT_EQ(form2->Bounds().x, (1024 - form2->Bounds().width) / 2);

    auto* mascot = h.gui.Window(L"Form1");
    ASSERT_NE(mascot, nullptr);
    EXPECT_FALSE(mascot->IsVisible());

    auto* settings = h.gui.Window(L"SetForm");
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(settings->IsVisible());
    EXPECT_EQ(settings->Value(setform_layout::Check1), 1);

    EXPECT_EQ(app.Settings().Pop3Server, L"pop.example");
    EXPECT_EQ(app.Settings().UseApop, 1);
    EXPECT_EQ(h.mail.calls, (std::vector<std::string>{"init", "option 1 8192"}));
}

TEST(Startup, FlagOtherThanZeroOrOneLeavesSettingsWindowUnloaded) {
    HeadlessApp h;
    h.WriteFile(h.FlagFile(), "[EXEINI]\r\nNUMBER=7\r\n");
    App& app = h.Start();
    EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
    app.GetSetForm().Show();
    EXPECT_EQ(h.gui.Window(L"SetForm")->Value(setform_layout::Check1), 0);
}

TEST(Startup, ServerFileBesideTheProgramIsNotRead) {
    HeadlessApp h;
    h.WriteFile(h.ProgramFolder() / "quillo.ini", "POP3=pop.example\r\n");
    App& app = h.Start();
    EXPECT_TRUE(app.Settings().Pop3Server.empty());
    EXPECT_EQ(app.Settings().UseApop, 0);
}

TEST(Shutdown, ClosesSoundUnloadsMascotEndsLibraryAndKeepsFlagFile) {
    HeadlessApp h;
    h.WriteFile(h.FlagFile(), "[EXEINI]\r\nNUMBER=0\r\n");
    App& app = h.Start();
    app.GetSetForm().Show();
    h.gui.Window(L"SetForm")->SetValue(setform_layout::Check1, 1);  // ticked but never saved

    EXPECT_THROW(h.gui.Window(L"Form2")->PressClose(), ProgramEnded);
    EXPECT_EQ(h.mci.commands, (std::vector<std::wstring>{L"close MIDIFILE", L"close MIDIFILE"}));
    EXPECT_EQ(h.mail.calls.back(), "end");
    EXPECT_EQ(h.gui.Window(L"Form1"), nullptr);
    EXPECT_EQ(h.ReadFile(h.FlagFile()), "[EXEINI]\r\nNUMBER=0\r\n");
}

TEST(Shutdown, RightPressOnMascotEndsAtOnceWithoutAnyUnloadStep) {
    HeadlessApp h;
    h.Start();
    EXPECT_THROW(h.gui.Window(L"Form1")->MouseDown(platform::kRightButton), ProgramEnded);
    EXPECT_TRUE(h.mci.commands.empty());
    EXPECT_EQ(h.mail.calls.back(), "option 1 8192");
    EXPECT_FALSE(h.ReadFile(h.FlagFile()).size());
}

TEST(Shutdown, MiddlePressDoesNothingAndLeftPressStartsADrag) {
    HeadlessApp h;
    h.Start();
    auto* mascot = h.gui.Window(L"Form1");
    mascot->MouseDown(platform::kMiddleButton);
    EXPECT_EQ(mascot->CaptionDrags(), 0);
    mascot->MouseDown(platform::kLeftButton);
    EXPECT_EQ(mascot->CaptionDrags(), 1);
}

}  // namespace
