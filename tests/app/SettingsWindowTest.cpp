// The settings window: the auto-disconnect box's persistence, "作者", and the dial-up button.
#include <gtest/gtest.h>

#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"
#include "tests/support/HeadlessApp.h"

namespace {

using namespace setform_layout;

TEST(SettingsWindow, CheckBoxSurvivesCloseAndReopen) {
    HeadlessApp h;
    App& app = h.Start();
    app.GetSetForm().Show();
    h.gui.Window(L"SetForm")->SetValue(Check1, 1);
    h.gui.Window(L"SetForm")->PressClose();
    EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
    EXPECT_NE(h.ReadFile(h.FlagFile()).find("NUMBER=1"), std::string::npos);

    app.GetSetForm().Show();
    EXPECT_EQ(h.gui.Window(L"SetForm")->Value(Check1), 1);
    h.gui.Window(L"SetForm")->SetValue(Check1, 0);
    h.gui.Window(L"SetForm")->PressClose();
    EXPECT_NE(h.ReadFile(h.FlagFile()).find("NUMBER=0"), std::string::npos);
}

TEST(SettingsWindow, UnusualFlagLeavesBoxUntickedAndIsRewrittenOnClose) {
    HeadlessApp h;
    h.WriteFile(h.FlagFile(), "[EXEINI]\r\nNUMBER=2\r\n");
    App& app = h.Start();
    app.GetSetForm().Show();
    EXPECT_EQ(h.gui.Window(L"SetForm")->Value(Check1), 0);
    h.gui.Window(L"SetForm")->PressClose();
    EXPECT_NE(h.ReadFile(h.FlagFile()).find("NUMBER=0"), std::string::npos);
}

class HomePage : public ::testing::Test {
protected:
    void Press(int answer) {
        h.gui.QueueMessageBoxAnswer(answer);
        h.PressSettingsButton(Command5);
        ASSERT_EQ(h.gui.MessageBoxes().size(), 1u);
        const auto& box = h.gui.MessageBoxes()[0];
        EXPECT_EQ(box.text, L"「Kinoha」作者のホームページです。ちょっと見てみますか？");
        EXPECT_EQ(box.title, L"確認");
        EXPECT_EQ(box.style, 36);
        EXPECT_TRUE(h.gui.Window(L"SetForm")->IsVisible());
    }
    HeadlessApp h;
};

TEST_F(HomePage, NoOpensNothing) {
    Press(7);
    EXPECT_TRUE(h.browser.automationAttempts.empty());
    EXPECT_TRUE(h.browser.opened.empty());
}

TEST_F(HomePage, YesFallsBackToDefaultBrowserWhenAutomationIsMissing) {
    h.gui.SetProgramFolder(L"C:\\Users\\花子\\My Apps\\Sorabune#2");
    Press(6);
    const std::wstring page = L"file:///C:/Users/花子/My%20Apps/Sorabune%232/about.html";
    EXPECT_EQ(h.browser.automationAttempts, std::vector<std::wstring>{page});
    EXPECT_EQ(h.browser.opened, std::vector<std::wstring>{page});
}

TEST(HomePageAddress, DriveRootAndNetworkFolder) {
    EXPECT_EQ(HomePageAddress(L"D:\\"), L"file:///D:/about.html");
    EXPECT_EQ(HomePageAddress(L"\\\\server\\共有 100%"), L"file://server/共有%20100%25/about.html");
}

TEST_F(HomePage, YesUsesAutomationWhenAvailable) {
    h.browser.automationAvailable = true;
    Press(6);
    EXPECT_EQ(h.browser.automationAttempts.size(), 1u);
    EXPECT_TRUE(h.browser.opened.empty());
}

TEST(DialUpButton, HangsUpEveryConnectionInOrderAndKeepsWindowOpen) {
    HeadlessApp h;
    h.dialUp.active = {0x1111, 0x2222};
    h.PressSettingsButton(Command7);
    EXPECT_EQ(h.dialUp.hungUp, (std::vector<platform::DialUpConnection>{0x1111, 0x2222}));
    EXPECT_TRUE(h.gui.Window(L"SetForm")->IsVisible());
}

TEST(DialUpButton, NoConnectionsOrFailedEnumerationHangsUpNothing) {
    HeadlessApp h;
    h.PressSettingsButton(Command7);
    h.dialUp.active = {0x1111};
    h.dialUp.enumResult = 603;  // ERROR_BUFFER_TOO_SMALL: more connections than the table holds
    h.PressSettingsButton(Command7);
    EXPECT_EQ(h.dialUp.enumerations, 2);
    EXPECT_TRUE(h.dialUp.hungUp.empty());
}

}  // namespace
