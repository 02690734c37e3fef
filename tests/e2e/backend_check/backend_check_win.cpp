// The Win32 backends no end-to-end scenario reaches, run under Wine as the program runs them:
//   sound     the jingle's MCI strings (open, play, close) on PROGRAM_FOLDER\Sound\Kouka.mid
//   dialup    RasEnumConnectionsA reached through the program's table (Wine's has no connections)
//   browser   the default-browser fallback of "作者" (ShellExecuteW on about.html's file URL), answered by
//             a copy of this tool at a short path, registered as the handler of ".html"
//   box       the Yes/No question box of "作者" (style 36), answered Yes and No; any box keeps every form
//             of the program, even one made while it is open, from taking input
//   record ARG  (the ".html" handler) writes ARG to record.txt beside itself
//
//   backend_check.exe PROGRAM_FOLDER  runs every check with a copy of the program folder; one PASS or FAIL
//                                     line each, then "N passed, N failed"; exit 0 only when all pass
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Sound.h"
#include "platform/Backends_win.h"
#include "platform/forms/Gui_win.h"
#include "resources/layouts/IdPassFormLayout.h"
#include "resources/layouts/MsgFormLayout.h"
#include "resources/layouts/OptionFormLayout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"

using app::CloseSoundEffect;
using app::PlaySoundEffect;
using settings::HomePageAddress;

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string& what, const std::string& detail = {}) {
    ++(ok ? passed : failed);
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
}

std::string Utf8(std::wstring_view text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Code(std::uint32_t code) {
    return "result " + std::to_string(code);
}

// The real command-string interface, keeping each result so that the program's own calls can be judged.
class RecordingMci final : public platform::Mci {
public:
    std::uint32_t SendString(std::wstring_view command) override {
        std::uint32_t result = real_.SendString(command);
        sent.push_back(Utf8(command) + " -> " + std::to_string(result));
        return result;
    }
    std::wstring ShortPath(std::wstring_view path) override { return real_.ShortPath(path); }
    std::vector<std::string> sent;

private:
    platform::Win32Mci real_;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += (out.empty() ? "" : "; ") + line;
    return out;
}

void CheckSound(const std::wstring& folder) {
    RecordingMci mci;
    PlaySoundEffect(mci, folder);
    Check(mci.sent.size() == 2 && mci.sent[0].ends_with(" -> 0") && mci.sent[1].ends_with(" -> 0"),
          "sound: the jingle's open (quoted path, alias) and play strings", Joined(mci.sent));
    mci.sent.clear();
    PlaySoundEffect(mci, folder);
    std::string inUse = " -> " + std::to_string(MCIERR_DUPLICATE_ALIAS);
    Check(mci.sent.size() == 2 && mci.sent[0].ends_with(inUse) && mci.sent[1].ends_with(" -> 0"),
          "sound: started again, the open finds the alias in use and the play goes to the open device",
          Joined(mci.sent));
    mci.sent.clear();
    CloseSoundEffect(mci);
    CloseSoundEffect(mci);
    std::string nothingOpen = " -> " + std::to_string(MCIERR_INVALID_DEVICE_NAME);
    Check(mci.sent.size() == 2 && mci.sent[0].ends_with(" -> 0") && mci.sent[1].ends_with(nothingOpen),
          "sound: close MIDIFILE, and once more with nothing open (fails quietly)", Joined(mci.sent));
    // Without the quotation marks the blank in the folder's name ends the file name: the check can tell.
    mci.sent.clear();
    mci.SendString(L"open " + folder + L"\\Sound\\Kouka.mid alias MIDIFILE");
    Check(!mci.sent[0].ends_with(" -> 0"), "sound: the same path unquoted is refused", Joined(mci.sent));
    mci.SendString(L"close MIDIFILE");
}

// Wine's remote-access service has no connections and does not judge the record's size: this runs the call
// (rasapi32 loaded on first use, the table, the answer). The size is judged by the stand-in service that
// test_dialogs.py and test_mailcheck.py load, which answers as Windows does.
void CheckDialUp() {
    platform::Win32DialUp dialUp;
    std::vector<platform::DialUpConnection> connections{1, 2};
    std::uint32_t result = dialUp.EnumConnections(connections);
    Check(result == 0 && connections.empty(), "dial-up: RasEnumConnectionsA is reached and reports no connection",
          Code(result) + ", " + std::to_string(connections.size()) + " connections");
}

// Wine's shell reads a handler's command into 256 characters and runs nothing when it is longer, so the
// handler is a copy of this tool in a folder at the root of the system drive, wherever the build lives.
std::wstring HandlerFolder() {
    wchar_t windows[MAX_PATH] = L"";
    if (GetWindowsDirectoryW(windows, MAX_PATH) < 3)
        return {};
    return std::wstring(windows, 3) + L"sorabune-check";
}

// The handler's path, or empty. This tool's name is its build target's.
std::wstring InstallHandler(const std::wstring& folder) {
    std::wstring handler = folder + L"\\html.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"\\record.txt").c_str());
    std::wstring self = platform::ExecutableFolder() + L"\\backend_check.exe";
    return !folder.empty() && CopyFileW(self.c_str(), handler.c_str(), FALSE) ? handler : std::wstring();
}

// Makes `handler` the program that the shell runs for ".html" files.
bool RegisterHtmlHandler(const std::wstring& handler) {
    std::wstring command = L"\"" + handler + L"\" record \"%1\"";
    auto set = [](const wchar_t* key, const std::wstring& value) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr))
            return false;
        LSTATUS status = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    };
    return set(L".html", L"SorabuneCheck.html") && set(L"SorabuneCheck.html\\shell\\open\\command", command);
}

// The handler's argument, as UTF-16 ending in a newline.
void WriteRecord(const std::wstring& recordFile, std::wstring text) {
    text += L'\n';
    std::ofstream(recordFile.c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()), std::streamsize(text.size() * sizeof(wchar_t)));
}

std::wstring WaitForRecord(const std::wstring& recordFile) {
    for (int i = 0; i < 300; ++i) {
        std::ifstream in(recordFile.c_str(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\n') {
            text.pop_back();
            return text;
        }
        Sleep(100);
    }
    return L"(nothing within 30 s)";
}

void CheckBrowser(const std::wstring& folder) {
    std::wstring handlerFolder = HandlerFolder();
    std::wstring handler = InstallHandler(handlerFolder);
    if (handler.empty() || !RegisterHtmlHandler(handler)) {
        Check(false, "browser: installing and registering the .html handler", Utf8(handler));
        return;
    }
    platform::Win32Browser browser;
    browser.OpenDefault(HomePageAddress(folder));
    std::wstring opened = WaitForRecord(handlerFolder + L"\\record.txt");
    std::wstring page = folder + L"\\about.html";
    Check(opened == page, "browser: the default browser is handed about.html of the program folder",
          Utf8(HomePageAddress(folder)) + " -> " + Utf8(opened));
}

// Answers the question box once it is up on `thread`, after looking it over; returns what was wrong with it.
std::string AnswerBox(DWORD thread, int answer) {
    for (int i = 0; i < 300; ++i) {
        HWND box = nullptr;
        EnumThreadWindows(
            thread,
            [](HWND window, LPARAM found) {
                wchar_t name[16] = L"";
                GetClassNameW(window, name, 16);
                if (std::wstring_view(name) == L"#32770" && IsWindowVisible(window))
                    *reinterpret_cast<HWND*>(found) = window;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (box) {
            std::string seen;
            wchar_t text[256] = L"";
            GetWindowTextW(box, text, 256);
            seen += Utf8(text) == "確認" ? "" : " title";
            if (!GetDlgItem(box, IDYES) || !GetDlgItem(box, IDNO) || GetDlgItem(box, IDOK) || GetDlgItem(box, IDCANCEL))
                seen += " buttons";
            bool question = false;
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                    question |= HICON(SendMessageW(child, STM_GETICON, 0, 0)) == LoadIconW(nullptr, IDI_QUESTION);
            }
            seen += question ? "" : " icon";
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), LPARAM(GetDlgItem(box, answer)));
            return seen;
        }
        Sleep(100);
    }
    return " (no box within 30 s)";
}

void CheckQuestionBox() {
    platform::Win32Gui gui(GetModuleHandleW(nullptr));
    DWORD boxThread = GetCurrentThreadId();
    for (int answer : {IDNO, IDYES}) {
        std::string seen;
        std::thread answering([&seen, boxThread, answer] { seen = AnswerBox(boxThread, answer); });
        int result = gui.MessageBox(L"「Kinoha」作者のホームページです。ちょっと見てみますか？", L"確認", 36);
        answering.join();
        Check(seen.empty() && result == answer,
              std::string("box: style 36 is a Yes/No question answered ") + (answer == IDYES ? "Yes" : "No"),
              Code(std::uint32_t(result)) + (seen.empty() ? "" : ", wrong:" + seen));
    }
}

struct NoEvents final : platform::WindowEvents {
    void OnClick(int) override {}
    void OnTimer(int) override {}
    void OnMouseDown(int, int, float, float) override {}
    void OnCloseRequest() override {}
};

HWND Form(const wchar_t* caption) {
    return FindWindowW(L"SorabuneForm", caption);
}

// A form made by a timer while the box is open, as the main window's timer makes the mascot.
platform::Win32Gui* lateGui = nullptr;
std::unique_ptr<platform::NativeWindow> lateForm;
void CALLBACK MakeLateForm(HWND, UINT, UINT_PTR timer, DWORD) {
    static NoEvents events;
    KillTimer(nullptr, timer);
    lateForm = lateGui->CreateNativeWindow(setform_layout::kForm, events);
    lateForm->Show();
}

// While the box is open no form takes input: shown, hidden and newly made ones are disabled; afterwards
// exactly those that were enabled are enabled again.
void CheckWholeProgramModal() {
    platform::Win32Gui gui(GetModuleHandleW(nullptr));
    NoEvents events;
    auto shown = gui.CreateNativeWindow(msgform_layout::kForm, events);
    auto hidden = gui.CreateNativeWindow(idpass_layout::kForm, events);
    auto disabled = gui.CreateNativeWindow(option_layout::kForm, events);
    shown->Show();
    EnableWindow(Form(L"サーバー設定"), FALSE);
    lateGui = &gui;
    SetTimer(nullptr, 0, 300, &MakeLateForm);
    std::string during;
    std::thread answering([&during, boxThread = GetCurrentThreadId()] {
        for (int i = 0; i < 300 && !IsWindowVisible(Form(L"設定")); ++i)  // shown once it is fully made
            Sleep(100);
        for (const wchar_t* caption : {L"新着お知らせ", L"ID,PASS", L"サーバー設定", L"設定"}) {
            if (IsWindowEnabled(Form(caption)))
                during.append(" ").append(Utf8(caption));
        }
        AnswerBox(boxThread, IDOK);
    });
    gui.MessageBox(L"エラー本文", L"エラー", 0);
    answering.join();
    std::string after;
    for (const wchar_t* caption : {L"新着お知らせ", L"ID,PASS", L"設定"}) {
        if (!IsWindowEnabled(Form(caption)))
            after.append(" ").append(Utf8(caption));
    }
    after += IsWindowEnabled(Form(L"サーバー設定")) ? " サーバー設定" : "";
    Check(during.empty() && after.empty(), "box: modal to every form of the program, a form made meanwhile too",
          "enabled during:" + during + "; wrong after:" + after);
    lateForm.reset();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring_view(argv[1]) == L"record") {
        WriteRecord(platform::ExecutableFolder() + L"\\record.txt", argv[2]);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: backend_check PROGRAM_FOLDER\n");
        return 2;
    }
    std::wstring folder = argv[1];
    CheckSound(folder);
    CheckDialUp();
    CheckBrowser(folder);
    CheckQuestionBox();
    CheckWholeProgramModal();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
