// The mail check against a recording mail library: every path of the check, in call order.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <ostream>

#include "mailcheck/MailCheck.h"
#include "resources/layouts/Form2Layout.h"
#include "resources/layouts/IdPassFormLayout.h"
#include "resources/layouts/MsgFormLayout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/StoredPassword.h"
#include "tests/support/HeadlessApp.h"

using mailcheck::kMaxFetchBuffer;
using mailcheck::kMaxRefusedInARow;
using mailcheck::TrimAtNul;
using settings::SealPassword;

namespace {

using Calls = std::vector<std::string>;

class MailCheck : public ::testing::Test {
public:
    void SetUp() override {
        h.WriteFile(h.ServerFile(), "POP3=pop.example\r\n");
        StoreAccount("taro", "secret");
    }
    void StoreAccount(const std::string& id, const std::string& password) {
        h.WriteFile(h.AccountFile(), "[EXEINI]\r\nNAME=" + id + "\r\nNAME2=" + password + "\r\n");
    }
    // Starts the program, then presses "メールチェック"; returns the library calls of the check.
    Calls Check() {
        if (!h.app)
            h.Start();
        h.mail.calls.clear();
        h.PressSettingsButton(setform_layout::Command6);
        return h.mail.calls;
    }
    std::wstring NoticeText() { return h.gui.Window(L"MsgForm")->Text(msgform_layout::Text1); }
    std::wstring NoticeCount() { return h.gui.Window(L"MsgForm")->Text(msgform_layout::Text2); }
    bool AppearanceRunning() { return h.gui.Window(L"Form2")->TimerInterval(form2_layout::Timer1) == 1000; }

    HeadlessApp h;
};

TEST_F(MailCheck, NoServerOrAnUnusableOneMakesNoLibraryCallAndSaysWhyBeforeTheNotice) {
    h.WriteFile(h.ServerFile(), "SMTP=x\r\n");
    EXPECT_TRUE(Check().empty());
    const auto& log = h.gui.Log();
    EXPECT_LT(std::find(log.begin(), log.end(), L"msgbox エラー"), std::find(log.begin(), log.end(), L"show MsgForm"));
    h.app->Settings().Pop3Server = L"taro@pop";
    EXPECT_TRUE(Check().empty());
    const auto& boxes = h.gui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].text.find(L"「" + h.WorkingDirectory().wstring() + L"」"), std::wstring::npos);
    EXPECT_NE(boxes[1].text.find(L"「taro@pop」"), std::wstring::npos);
    EXPECT_EQ(NoticeText(), L"新着メールはありませんでした。");
    EXPECT_EQ(NoticeCount(), L"0");
    EXPECT_EQ(h.gui.Window(L"SetForm"), nullptr);
    EXPECT_FALSE(AppearanceRunning());
}

TEST_F(MailCheck, FailedConnectShowsWhyAfterTheStatusThenZeroWithoutLoginOrClose) {
    h.mail.connectResult = -1;
    h.mail.errorText = std::wstring(L"no route to pop.example\0garbage", 31);
    std::wstring status;
    h.mail.onMessage = [&] { status = h.gui.Window(L"SetForm")->Text(setform_layout::Text1); };
    EXPECT_EQ(Check(), (Calls{"connect", "messageW 0 8192"}));
    EXPECT_EQ(h.mail.lastServer, "pop.example");
    EXPECT_EQ(status, L"メールのチェックをしています。");
    const auto& log = h.gui.Log();
    auto box = std::find(log.begin(), log.end(), L"msgbox エラー");
    EXPECT_LT(box, std::find(log.begin(), log.end(), L"show MsgForm")) << "the notice comes after the box";
    ASSERT_EQ(h.gui.MessageBoxes().size(), 1u);
    EXPECT_EQ(h.gui.MessageBoxes()[0].text, L"no route to pop.example");
    EXPECT_EQ(h.gui.MessageBoxes()[0].title, L"エラー");
    EXPECT_EQ(h.gui.MessageBoxes()[0].style, 0);
    EXPECT_EQ(NoticeText(), L"新着メールはありませんでした。");
    EXPECT_EQ(NoticeCount(), L"0");
}

// One check from the press of the button to the notice: what the library answers, what it is told in order, and
// the notice's text and count. `then` holds what else the case looks at afterwards.
struct Transcript {
    struct Library {
        int login = 0;
        std::vector<int> sizes = {};
        int fetch = 0, goneFrom = 0;
        const char* password = "secret";
    };
    const char* name;
    Library library;
    Calls calls;  // empty: too long to write out, `then` looks at it
    const wchar_t* notice;
    const wchar_t* count;
    std::function<void(MailCheck&, const Calls&)> then = [](MailCheck&, const Calls&) {};
};

void PrintTo(const Transcript& t, std::ostream* out) {
    *out << t.name;
}

class MailCheckTranscript : public MailCheck, public ::testing::WithParamInterface<Transcript> {};

TEST_P(MailCheckTranscript, CallsNoticeAndCount) {
    const Transcript& row = GetParam();
    h.mail.loginResult = row.library.login;
    h.mail.sizes = row.library.sizes;
    h.mail.fetchResult = row.library.fetch;
    h.mail.goneFrom = row.library.goneFrom;
    StoreAccount("taro", row.library.password);
    Calls calls = Check();
    if (!row.calls.empty()) {
        EXPECT_EQ(calls, row.calls);
    }
    EXPECT_EQ(NoticeText(), row.notice);
    EXPECT_EQ(NoticeCount(), row.count);
    row.then(*this, calls);
}

// Sizes refused for every message but one, which the check fetches.
std::vector<int> AllRefusedBut(int message) {
    std::vector<int> sizes(1000, -1);
    sizes[size_t(message - 1)] = 5;
    return sizes;
}

const wchar_t kNone[] = L"新着メールはありませんでした。";
const wchar_t kSome[] = L"新着メールが有ります。";

// clang-format off
const Transcript kTranscripts[] = {
    {"EmptyMailboxConnectsLogsInAndCloses", {}, {"connect", "login 7", "close 7"}, kNone, L"0",
     [](MailCheck& t, const Calls&) {
         EXPECT_EQ(t.h.mail.lastUser, "taro");
         EXPECT_EQ(t.h.mail.lastPassword, "secret");
         // The clear password of the earlier file is stored protected by the check that used it.
         EXPECT_EQ(t.h.ReadFile(t.h.AccountFile()),
                   "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME2PROTECTED=" + SealPassword(L"secret") + "\r\n");
     }},
    {"NewMailFetchesEveryMessageAndBringsTheGirlOut", {.login = 3, .sizes = {1000, 0, 20}},
     {"connect", "login 7", "status 1", "size 1", "fetch 1", "status 2", "size 2", "fetch 2", "status 3", "size 3",
      "fetch 3", "close 7"}, kSome, L"3",
     [](MailCheck& t, const Calls&) {
         EXPECT_EQ(t.h.mail.fetchSizes, (std::vector<size_t>{1001, 1, 21}));
         EXPECT_EQ(t.h.mail.bufferSizes, (std::vector<size_t>{8192, 8192, 8192, 8192}));
         EXPECT_TRUE(t.AppearanceRunning());
         EXPECT_EQ(t.h.gui.Window(L"SetForm"), nullptr);
         EXPECT_TRUE(t.h.gui.Window(L"MsgForm")->IsTopmost());
     }},
    {"FailedSizeQuerySkipsThatFetchOnly", {.login = 2, .sizes = {-1, 5}},
     {"connect", "login 7", "status 1", "size 1", "status 2", "size 2", "fetch 2", "close 7"}, kSome, L"2"},
    {"AbsurdSizeDoesNotAllocateWithoutBound", {.login = 1, .sizes = {2147483647}},
     {"connect", "login 7", "status 1", "size 1", "fetch 1", "close 7"}, kSome, L"1",
     [](MailCheck& t, const Calls&) {
         EXPECT_EQ(t.h.mail.fetchSizes, std::vector<size_t>{size_t(kMaxFetchBuffer)});
     }},
    {"HugeCountEndsOnceNoFetchCanSucceedAndStillReportsTheClaim", {.login = INT_MAX, .fetch = -1}, {}, kSome,
     L"2147483647",
     [](MailCheck& t, const Calls& calls) {
         EXPECT_EQ(calls.back(), "close 7");
         EXPECT_EQ(t.h.mail.fetchSizes.size(), size_t(kMaxRefusedInARow));
     }},
    {"HugeCountEndsWhenTheConnectionIsGoneAndStillReportsTheClaim", {.login = INT_MAX, .goneFrom = 3},
     {"connect", "login 7", "status 1", "size 1", "fetch 1", "status 2", "size 2", "fetch 2", "status 3", "size 3",
      "close 7"}, kSome, L"2147483647"},
    // One fetched in the middle of the refusals.
    {"OneFetchedMessageRestartsTheRunOfRefusals", {.login = 1000, .sizes = AllRefusedBut(kMaxRefusedInARow)}, {},
     kSome, L"1000",
     [](MailCheck& t, const Calls& calls) {
         EXPECT_EQ(t.h.mail.fetchSizes.size(), 1u);
         ASSERT_GE(calls.size(), 2u);
         EXPECT_EQ(calls[calls.size() - 2], "size " + std::to_string(2 * kMaxRefusedInARow)) << "stops at 128, not 65";
     }},
    {"FailedLoginShowsLibraryTextThenNegativeCount", {.login = -1},
     {"connect", "login 7", "messageW 0 8192", "close 7"}, kNone, L"-1",
     [](MailCheck& t, const Calls&) {
         ASSERT_EQ(t.h.gui.MessageBoxes().size(), 1u);
         EXPECT_EQ(t.h.gui.MessageBoxes()[0].text, L"ログインできませんでした。サーバーの応答: -ERR bad password");
         EXPECT_EQ(t.h.gui.MessageBoxes()[0].title, L"エラー");
         EXPECT_EQ(t.h.gui.MessageBoxes()[0].style, 0);
         EXPECT_FALSE(t.AppearanceRunning());
     }},
    {"MissingPasswordOpensAccountDialogAndSkipsLogin", {.password = ""}, {"connect", "close 7"}, kNone, L"0",
     [](MailCheck& t, const Calls&) {
         auto* dialog = t.h.gui.Window(L"IdPassForm");
         ASSERT_NE(dialog, nullptr);
         EXPECT_TRUE(dialog->IsVisible());
         EXPECT_EQ(dialog->Text(idpass_layout::IdText), L"taro");
     }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, MailCheckTranscript, ::testing::ValuesIn(kTranscripts), [](const auto& info) {
    return std::string(info.param.name);
});

TEST_F(MailCheck, UnreadableProtectedPasswordOpensAccountDialogAndSkipsLogin) {
    std::string foreign = SealPassword(L"secret");
    foreign[0] = foreign[0] == 'A' ? 'B' : 'A';
    const std::string file = "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME2PROTECTED=" + foreign + "\r\n";
    h.WriteFile(h.AccountFile(), file);
    EXPECT_EQ(Check(), (Calls{"connect", "close 7"}));
    auto* dialog = h.gui.Window(L"IdPassForm");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->IsVisible());
    EXPECT_EQ(dialog->Text(idpass_layout::PassText), L"");
    EXPECT_TRUE(h.gui.MessageBoxes().empty());
    EXPECT_EQ(h.ReadFile(h.AccountFile()), file);
}

TEST_F(MailCheck, CheckOverwritesWhatIsTypedInTheOpenAccountDialog) {
    h.PressSettingsButton(setform_layout::Command1);
    auto* dialog = h.gui.Window(L"IdPassForm");
    dialog->Type(idpass_layout::IdText, L"other");
    dialog->Type(idpass_layout::PassText, L"typed");
    Check();
    EXPECT_EQ(dialog->Text(idpass_layout::IdText), L"taro");
    EXPECT_EQ(dialog->Text(idpass_layout::PassText), L"secret");
}

TEST_F(MailCheck, ApopFlagFollowsAnyNonZeroSetting) {
    h.WriteFile(h.ServerFile(), "POP3=pop.example\r\nAPOP=2\r\n");
    Check();
    EXPECT_EQ(h.mail.lastApop, -1);
    h.app->Settings().UseApop = 0;
    Check();
    EXPECT_EQ(h.mail.lastApop, 0);
}

TEST_F(MailCheck, LongStoredIdIsCutTo255BytesButNotAProtectedPassword) {
    StoreAccount(std::string(300, 'u'), "pw");
    Check();
    EXPECT_EQ(h.mail.lastUser, std::string(255, 'u'));
    h.app->Files().WriteAccountPassword(std::wstring(300, L'p'));
    Check();
    EXPECT_EQ(h.mail.lastPassword, std::string(300, 'p'));
}

TEST_F(MailCheck, JapaneseAccountReachesLibraryInAnsiCodePage) {
    StoreAccount("\x91\xbe\x98\x59", "\x83\x70\x83\x58");  // 太郎 and パス in code page 932
    Check();
    EXPECT_EQ(h.mail.lastUser, "\x91\xbe\x98\x59");
    EXPECT_EQ(h.app->Settings().UserId, L"太郎");
    Check();  // now from the protected value
    EXPECT_EQ(h.mail.lastPassword, "\x83\x70\x83\x58");
}

// Ticked, the check hangs up after every path and leaves the flag as it was; unticked, it never looks.
TEST_F(MailCheck, AutoDisconnectFollowsTheFlagOnEveryPath) {
    h.dialUp.active = {42};
    struct Row {
        const char* name;
        bool ticked;
        int connect, login;
    };
    for (Row row : {Row{"no connection", true, -1, 0}, Row{"empty", true, 7, 0}, Row{"new mail", true, 7, 2},
                    Row{"bad login", true, 7, -1}, Row{"unticked, new mail", false, 7, 2}}) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(h.FlagFile());
        if (row.ticked)
            h.WriteFile(h.FlagFile(), "[EXEINI]\r\nNUMBER=1\r\n");
        h.mail.connectResult = row.connect;
        h.mail.loginResult = row.login;
        h.dialUp.hungUp.clear();
        h.dialUp.enumerations = 0;
        Check();
        if (row.ticked) {
            EXPECT_EQ(h.dialUp.hungUp, std::vector<platform::DialUpConnection>{42});
            EXPECT_NE(h.ReadFile(h.FlagFile()).find("NUMBER=1"), std::string::npos);
        } else {
            EXPECT_EQ(h.dialUp.enumerations, 0);
        }
    }
}

TEST_F(MailCheck, NoticeStaysOneWindowAcrossChecks) {
    h.mail.loginResult = 2;
    Check();
    const auto* notice = h.gui.Window(L"MsgForm");
    size_t logged = h.gui.Log().size();
    h.mail.loginResult = 0;
    Check();
    EXPECT_EQ(NoticeCount(), L"0");
    EXPECT_EQ(NoticeText(), L"新着メールはありませんでした。");
    // The same window, neither destroyed nor created again (a new one could reuse the old one's address).
    EXPECT_EQ(h.gui.Window(L"MsgForm"), notice);
    const std::vector<std::wstring> since(h.gui.Log().begin() + std::ptrdiff_t(logged), h.gui.Log().end());
    for (const wchar_t* call : {L"create MsgForm", L"destroy MsgForm"})
        EXPECT_EQ(std::count(since.begin(), since.end(), call), 0) << call;
}

TEST(TrimAtNul, CutsAtFirstNul) {
    EXPECT_EQ(TrimAtNul(std::wstring(L"abc\0def", 7)), L"abc");
    EXPECT_EQ(TrimAtNul(L"abc"), L"abc");
    EXPECT_EQ(TrimAtNul(std::wstring(L"\0abc", 4)), L"");
}

}  // namespace
