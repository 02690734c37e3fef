// The account and server dialogs, and how the account dialog meets the mail check.
#include <gtest/gtest.h>

#include <algorithm>

#include "resources/layouts/IdPassFormLayout.h"
#include "resources/layouts/OptionFormLayout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/StoredPassword.h"
#include "tests/support/HeadlessApp.h"

using settings::SealPassword;

namespace {

// A dialog opened from its button in the settings window.
template <int Button, const wchar_t* Name>
class DialogTest : public ::testing::Test {
protected:
    platform::HeadlessWindow& Open() {
        h.PressSettingsButton(Button);
        return *h.gui.Window(Name);
    }
    HeadlessApp h;
};

constexpr wchar_t kIdPassForm[] = L"IdPassForm";
constexpr wchar_t kOptionForm[] = L"OptionForm";
using AccountDialog = DialogTest<setform_layout::Command1, kIdPassForm>;
using ServerDialog = DialogTest<setform_layout::Command2, kOptionForm>;

TEST_F(AccountDialog, LoadsStoredAccountWithSaveBoxUnticked) {
    h.WriteFile(h.AccountFile(), "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME2PROTECTED=" + SealPassword(L"pw") + "\r\n");
    auto& d = Open();
    EXPECT_TRUE(d.IsVisible());
    EXPECT_EQ(d.Text(idpass_layout::IdText), L"taro");
    EXPECT_EQ(d.Text(idpass_layout::PassText), L"pw");
    EXPECT_EQ(d.Value(idpass_layout::Check1), 0);
    EXPECT_EQ(d.Definition().controls[idpass_layout::PassText].passwordChar, L'*');
}

TEST_F(AccountDialog, LoadingAClearPasswordStoresItProtected) {
    h.WriteFile(h.AccountFile(), "[EXEINI]\r\nNAME=taro\r\nNAME2=pw\r\nNAME3=1\r\n");
    EXPECT_EQ(Open().Text(idpass_layout::PassText), L"pw");
    EXPECT_EQ(h.ReadFile(h.AccountFile()),
              "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\nNAME2PROTECTED=" + SealPassword(L"pw") + "\r\n");
}

TEST_F(AccountDialog, OkWithoutSaveBoxRecordsOnlyName3) {
    const std::string stored = "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME2PROTECTED=" + SealPassword(L"pw") + "\r\n";
    h.WriteFile(h.AccountFile(), stored);
    auto& d = Open();
    d.Type(idpass_layout::IdText, L"jiro");
    d.Type(idpass_layout::PassText, L"new");
    d.Click(idpass_layout::OkCommand);
    EXPECT_EQ(h.gui.Window(L"IdPassForm"), nullptr);
    EXPECT_EQ(h.app->Settings().UserId, L"jiro");
    EXPECT_EQ(h.app->Settings().UserPassword, L"new");
    EXPECT_EQ(h.ReadFile(h.AccountFile()), stored + "NAME3=0\r\n");
}

TEST_F(AccountDialog, OkWithSaveBoxStoresAllThreeAndReopensUnticked) {
    auto& d = Open();
    d.Type(idpass_layout::IdText, L"太郎");
    d.Type(idpass_layout::PassText, L"p w");
    d.SetValue(idpass_layout::Check1, 1);
    d.Click(idpass_layout::OkCommand);
    EXPECT_EQ(h.ReadFile(h.AccountFile()), "[EXEINI]\r\nNAME=\x91\xbe\x98\x59\r\nNAME2=\r\nNAME2PROTECTED=" +
                                               SealPassword(L"p w") + "\r\nNAME3=1\r\n");
    EXPECT_TRUE(h.gui.MessageBoxes().empty());
    auto& again = Open();
    EXPECT_EQ(again.Text(idpass_layout::IdText), L"太郎");
    EXPECT_EQ(again.Text(idpass_layout::PassText), L"p w");
    EXPECT_EQ(again.Value(idpass_layout::Check1), 0);
}

TEST_F(AccountDialog, CancelAndCloseBoxChangeNothing) {
    h.WriteFile(h.AccountFile(), "[EXEINI]\r\nNAME=taro\r\n");
    for (bool closeBox : {false, true}) {
        auto& d = Open();
        d.Type(idpass_layout::IdText, L"other");
        d.SetValue(idpass_layout::Check1, 1);
        if (closeBox)
            d.PressClose();
        else
            d.Click(idpass_layout::CancelCommand);
        EXPECT_EQ(h.gui.Window(L"IdPassForm"), nullptr);
        EXPECT_EQ(h.ReadFile(h.AccountFile()), "[EXEINI]\r\nNAME=taro\r\n");
        EXPECT_TRUE(h.app->Settings().UserId.empty());
    }
}

TEST_F(AccountDialog, UnsavedAccountIsDroppedByTheNextCheck) {
    h.WriteFile(h.ServerFile(), "POP3=pop.example\r\n");
    auto& d = Open();
    d.Type(idpass_layout::IdText, L"jiro");
    d.Type(idpass_layout::PassText, L"pw");
    d.Click(idpass_layout::OkCommand);

    // Nothing stored: the check opens the dialog again instead of logging in.
    h.PressSettingsButton(setform_layout::Command6);
    EXPECT_EQ(std::count(h.mail.calls.begin(), h.mail.calls.end(), "login 7"), 0);
    EXPECT_TRUE(h.gui.Window(L"IdPassForm")->IsVisible());

    // With an earlier stored account, that one is used.
    h.WriteFile(h.AccountFile(), "[EXEINI]\r\nNAME=taro\r\nNAME2=stored\r\n");
    h.gui.Window(L"IdPassForm")->Click(idpass_layout::OkCommand);
    h.PressSettingsButton(setform_layout::Command6);
    EXPECT_EQ(h.mail.lastUser, "taro");
    EXPECT_EQ(h.mail.lastPassword, "stored");
}

TEST_F(ServerDialog, LoadsValuesInMemoryAndStaysOnTop) {
    h.WriteFile(h.ServerFile(), "SMTP= s \r\nPOP3=p\r\nMAIL=m\r\nAPOP=2\r\n");
    auto& d = Open();
    EXPECT_TRUE(d.IsTopmost());
    EXPECT_TRUE(d.IsVisible());
    EXPECT_EQ(d.Text(option_layout::SmtpText), L" s ");
    EXPECT_EQ(d.Text(option_layout::Pop3Text), L"p");
    EXPECT_EQ(d.Text(option_layout::MailText), L"m");
    EXPECT_EQ(d.Value(option_layout::ApopCheck), 1);
}

TEST_F(ServerDialog, SettingWritesExactlyFourLinesWithAPop3ServerThatCanBeOne) {
    auto& d = Open();
    EXPECT_EQ(d.Value(option_layout::ApopCheck), 0);
    d.Type(option_layout::Pop3Text, L"host:110:995");  // never a server: shown, and the dialog stays open
    d.Click(option_layout::OkCommand);
    ASSERT_EQ(h.gui.MessageBoxes().size(), 1u);
    EXPECT_NE(h.gui.MessageBoxes()[0].text.find(L"「host:110:995」"), std::wstring::npos);
    d.Type(option_layout::Pop3Text, L"\u3000127.0.0.1:1110 ");
    d.SetValue(option_layout::ApopCheck, 1);
    d.Click(option_layout::OkCommand);
    EXPECT_EQ(h.gui.Window(L"OptionForm"), nullptr);
    EXPECT_EQ(h.ReadFile(h.ServerFile()), "SMTP=\r\nPOP3=127.0.0.1:1110\r\nMAIL=\r\nAPOP=1\r\n");
    EXPECT_EQ(h.app->Settings().Pop3Server, L"127.0.0.1:1110");
    EXPECT_EQ(h.app->Settings().UseApop, 1);
}

TEST_F(ServerDialog, CancelAndCloseBoxKeepValuesAndFile) {
    h.WriteFile(h.ServerFile(), "POP3=p\r\n");
    for (bool closeBox : {false, true}) {
        auto& d = Open();
        d.Type(option_layout::Pop3Text, L"changed");
        if (closeBox)
            d.PressClose();
        else
            d.Click(option_layout::CancelCommand);
        EXPECT_EQ(h.app->Settings().Pop3Server, L"p");
        EXPECT_EQ(h.ReadFile(h.ServerFile()), "POP3=p\r\n");
        EXPECT_EQ(Open().Text(option_layout::Pop3Text), L"p");
        h.gui.Window(L"OptionForm")->Click(option_layout::CancelCommand);
    }
}

// The server dialog has no default button, and Esc presses Cancel.
static_assert(std::ranges::none_of(option_layout::kControls, [](const auto& c) { return c.isDefault; }));
static_assert(option_layout::kControls[option_layout::CancelCommand].isCancel);

}  // namespace
