// The settings window: the auto-disconnect box's persistence, "作者", and the dial-up button.
#include <gtest/gtest.h>

#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"
#include "tests/support/HeadlessApp.h"

using app::App;
using settings::HomePageAddress;

namespace {

using namespace setform_layout;

// The auto-disconnect box on each opening of the window, and the flag file each close leaves behind.
TEST(SettingsWindow, DisconnectFlagFollowsTheBoxAcrossCloseAndReopen) {
    struct Opening {
        int shown, set;  // set -1: left alone
        const char* written;
    };
    // The flag file before the start (null: none yet), then the openings.
    const std::pair<const char*, std::vector<Opening>> rows[] = {
        {nullptr, {{0, 1, "NUMBER=1"}, {1, 0, "NUMBER=0"}}},  // ticked, then unticked on reopening
        {"[EXEINI]\r\nNUMBER=2\r\n", {{0, -1, "NUMBER=0"}}},  // an unusual flag: box unticked, file rewritten
    };
    for (const auto& [flagFile, openings] : rows) {
        SCOPED_TRACE(flagFile ? flagFile : "no flag file");
        HeadlessApp h;
        if (flagFile)
            h.WriteFile(h.FlagFile(), flagFile);
        App& app = h.Start();
        for (const Opening& opening : openings) {
            app.GetSetForm().Show();
            EXPECT_EQ(h.gui.Window(L"SetForm")->Value(Check1), opening.shown);
            if (opening.set >= 0)
                h.gui.Window(L"SetForm")->SetValue(Check1, opening.set);
            h.gui.Window(L"SetForm")->PressClose();
            EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
            EXPECT_NE(h.ReadFile(h.FlagFile()).find(opening.written), std::string::npos);
        }
    }
}

// "作者" asks first; "yes" tries the browser object, then the default browser when the object is missing.
TEST(HomePage, TheAnswerDecidesHowThePageOpens) {
    const std::wstring page = L"file:///C:/Users/花子/My%20Apps/Sorabune%232/about.html";
    struct Row {
        const char* name;
        int answer;
        bool automationAvailable;
        std::vector<std::wstring> attempts, opened;
    };
    for (const Row& row : {
             Row{"no opens nothing", 7, false, {}, {}},
             Row{"yes falls back to the default browser when automation is missing", 6, false, {page}, {page}},
             Row{"yes uses automation when available", 6, true, {page}, {}},
         }) {
        SCOPED_TRACE(row.name);
        HeadlessApp h;
        h.gui.SetProgramFolder(L"C:\\Users\\花子\\My Apps\\Sorabune#2");
        h.browser.automationAvailable = row.automationAvailable;
        h.gui.QueueMessageBoxAnswer(row.answer);
        h.PressSettingsButton(Command5);
        ASSERT_EQ(h.gui.MessageBoxes().size(), 1u);
        const auto& box = h.gui.MessageBoxes()[0];
        EXPECT_EQ(box.text, L"「Kinoha」作者のホームページです。ちょっと見てみますか？");
        EXPECT_EQ(box.title, L"確認");
        EXPECT_EQ(box.style, 36);
        EXPECT_TRUE(h.gui.Window(L"SetForm")->IsVisible());
        EXPECT_EQ(h.browser.automationAttempts, row.attempts);
        EXPECT_EQ(h.browser.opened, row.opened);
    }
}

TEST(HomePageAddress, DriveRootAndNetworkFolder) {
    EXPECT_EQ(HomePageAddress(L"D:\\"), L"file:///D:/about.html");
    EXPECT_EQ(HomePageAddress(L"\\\\server\\共有 100%"), L"file://server/共有%20100%25/about.html");
}

// The dial-up button hangs up every connection in order and keeps the window open; nothing when none is
// listed or the listing fails.
TEST(DialUpButton, HangsUpWhatTheListingGives) {
    using Connections = std::vector<platform::DialUpConnection>;
    struct Row {
        const char* name;
        Connections active;
        std::uint32_t enumResult;
        Connections hungUp;
    };
    for (const Row& row : {
             Row{"every connection, in order", {0x1111, 0x2222}, 0, {0x1111, 0x2222}},
             Row{"no connections", {}, 0, {}},
             // ERROR_BUFFER_TOO_SMALL: more connections than the table holds
             Row{"failed enumeration", {0x1111}, 603, {}},
         }) {
        SCOPED_TRACE(row.name);
        HeadlessApp h;
        h.dialUp.active = row.active;
        h.dialUp.enumResult = row.enumResult;
        h.PressSettingsButton(Command7);
        EXPECT_EQ(h.dialUp.enumerations, 1);
        EXPECT_EQ(h.dialUp.hungUp, row.hungUp);
        EXPECT_TRUE(h.gui.Window(L"SetForm")->IsVisible());
    }
}

}  // namespace
