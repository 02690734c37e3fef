// The mail check: connect, log in with the stored account, fetch and discard every message, close, then
// report in the notice window and hang up dial-up connections when the user asked for that.
#include "mailcheck/MailCheck.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/App.h"
#include "mailcheck/MsgForm.h"
#include "platform/Protect.h"
#include "platform/base/CodePage.h"
#include "platform/base/File.h"
#include "platform/nmail/NMail.h"
#include "resources/layouts/IdPassFormLayout.h"
#include "resources/layouts/MsgFormLayout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/IdPassForm.h"
#include "settings/ServerName.h"
#include "settings/SetForm.h"

namespace mailcheck {

namespace {

constexpr int kTextBufferSize = 8192;
constexpr int kNoConnection = -1;
constexpr int kApopFlag = -1;  // all bits set

// The four text buffers the library fills on status and fetch calls; A also carries the error text.
struct WorkBuffers {
    std::vector<char> a = std::vector<char>(kTextBufferSize);
    std::vector<char> b = std::vector<char>(kTextBufferSize);
    std::vector<char> c = std::vector<char>(kTextBufferSize);
    std::vector<char> d = std::vector<char>(kTextBufferSize);
};

// Reads the stored account into the account dialog's boxes and the account values.
void LoadAccount(app::App& app) {
    std::wstring id = app.Files().ReadAccountValue("NAME");
    std::wstring password = app.Files().ReadAccountPassword();
    settings::IdPassForm& dialog = app.GetIdPassForm();
    dialog[idpass_layout::IdText].SetText(id);
    dialog[idpass_layout::PassText].SetText(password);
    settings::SettingsValues& s = app.Settings();
    platform::Wipe(s.UserPassword);  // a longer password frees its block
    s.UserId = id;
    s.UserPassword = password;
    platform::Wipe(id);
    platform::Wipe(password);
}

// Status, size and fetch of one message; false once the connection is gone. `fetched` tells whether the
// server handed the message out. The three calls ask TOP n 0, LIST n, then RETR n (only after a size), message
// after message: nmail's CommandPipe predicts exactly this order to pipeline the commands, so a change here
// goes with one there.
bool FetchOne(int handle, int n, WorkBuffers& buf, bool& fetched) {
    int status = nmail::NMailPop3GetMailStatus(handle, n, buf.a, buf.b, buf.c, buf.d, 0);
    int size = nmail::NMailPop3GetMailSize(handle, n);
    int result = size;  // the size query failed: nothing to fetch into
    if (size >= 0) {
        std::vector<char> body(size_t(std::min(size, kMaxFetchBuffer - 1)) + 1, ' ');
        result = nmail::NMailPop3GetMail(handle, n, buf.a, buf.b, buf.c, buf.d, body, 0, 0);
    }
    fetched = result == 0;
    return status != nmail::kConnectionGone && result != nmail::kConnectionGone;
}

// Every message from 1 to `count`, whatever the count. The loop ends early once no fetch can succeed: the
// connection is gone, or the server has refused kMaxRefusedInARow messages one after another.
void FetchAll(int handle, int count, WorkBuffers& buf) {
    int refusedInARow = 0;
    for (int n = 1; n <= count; ++n) {
        bool fetched = false;
        if (!FetchOne(handle, n, buf, fetched))
            return;
        refusedInARow = fetched ? 0 : refusedInARow + 1;
        if (refusedInARow == kMaxRefusedInARow || n == count)
            return;  // n == count also keeps n from passing INT_MAX
    }
}

// The library's text of its last failure, in the same box for a failed connection and a failed login.
// It is asked for wide: it holds the server's reply, which the ANSI code page may not be able to carry.
void ShowLibraryError(app::App& app) {
    std::vector<wchar_t> text(kTextBufferSize);
    int capacity = kTextBufferSize;
    nmail::NMailGetMessageW(0, text.data(), &capacity);
    app.Gui().MessageBox(TrimAtNul(std::wstring_view(text.data(), text.size())), L"エラー",
                         platform::Gui::kPlainMessageBox);
}

// Logs in and fetches; returns the message count (negative when the login failed).
int LogInAndFetch(app::App& app, int handle) {
    LoadAccount(app);
    settings::SettingsValues& s = app.Settings();
    if (s.UserId.empty() || s.UserPassword.empty()) {
        app.GetIdPassForm().Show();
        return 0;
    }
    WorkBuffers buf;
    std::string password = platform::ToAnsi(s.UserPassword);
    int count =
        nmail::NMailPop3Authenticate(handle, platform::ToAnsi(s.UserId), password, s.UseApop != 0 ? kApopFlag : 0);
    platform::Wipe(password);
    if (count > 0)
        FetchAll(handle, count, buf);
    else if (count < 0)
        ShowLibraryError(app);
    return count;
}

void Report(app::App& app, int count) {
    MsgForm& notice = app.GetMsgForm();
    notice.Show();
    notice[msgform_layout::Text2].SetText(std::to_wstring(count));
    if (count <= 0) {
        notice[msgform_layout::Text1].SetText(L"新着メールはありませんでした。");
        return;
    }
    notice[msgform_layout::Text1].SetText(L"新着メールが有ります。");
    app.GetSetForm().ShowGirl();
}

}  // namespace

std::wstring TrimAtNul(std::wstring_view text) {
    return std::wstring(text.substr(0, text.find(L'\0')));
}

void CheckMail(app::App& app) {
    int count = 0;
    const std::wstring& server = app.Settings().Pop3Server;
    // Without a server that can be used nothing is checked: the box says why before the notice reports 0.
    std::optional<std::wstring> unusable =
        server.empty() ? settings::NoPop3ServerText(platform::WorkingDirectory()) : settings::Pop3ServerRefusal(server);
    if (unusable) {
        app.Gui().MessageBox(*unusable, L"エラー", platform::Gui::kPlainMessageBox);
    } else {
        int handle = nmail::NMailPop3Connect(platform::ToAnsi(server));
        app.GetSetForm()[setform_layout::Text1].SetText(L"メールのチェックをしています。");
        if (handle == kNoConnection) {
            ShowLibraryError(app);
        } else {
            count = LogInAndFetch(app, handle);
            nmail::NMailPop3Close(handle);
        }
    }
    Report(app, count);
    // Reading the box reloads the settings window when "少女を出す" has just closed it.
    if (app.GetSetForm()[setform_layout::Check1].Value() == 1)
        app.GetSetForm().Disconnect();
}

}  // namespace mailcheck
