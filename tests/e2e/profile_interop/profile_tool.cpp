// Windows side of the private-profile interoperability check, run under Wine. Sections, keys and values
// travel as hex bytes so that no command line changes them; paths are wide.
//   read    PATH SECTION KEY        GetPrivateProfileStringA, printed as "hex:<bytes>"
//   readint PATH SECTION KEY DEF    GetPrivateProfileIntA, printed as a signed decimal
//   write   PATH SECTION KEY VALUE  WritePrivateProfileStringA, prints "ok" or "failed"
//   wread / wreadint / wwrite       the same through Win32Profile (the wide functions)
//   files   FOLDER                  checks the whole-file functions inside FOLDER, prints "ok" or what failed
//   settings FOLDER                 runs the settings-file operations (the password through crypt32) with
//                                   FOLDER as the program folder and working directory, prints "ok" or what
//                                   failed
//   acp                             the ANSI code page
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Profile_win.h"
#include "platform/base/CodePage.h"
#include "platform/base/File.h"
#include "settings/SettingsFiles.h"

using settings::SettingsFiles;
using settings::SettingsValues;

namespace {

std::string Unhex(const wchar_t* hex) {
    std::string out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        wchar_t pair[3] = {hex[i], hex[i + 1], 0};
        out += char(std::wcstoul(pair, nullptr, 16));
    }
    return out;
}

void PrintHex(std::string_view bytes) {
    std::printf("hex:");
    for (unsigned char c : bytes)
        std::printf("%02x", c);
    std::printf("\n");
}

std::string Narrow(const std::wstring& path) {
    return platform::ToAnsi(path);
}

int AnsiCommand(const std::wstring& command, const std::vector<std::wstring>& args) {
    std::string path = Narrow(args[0]);
    std::string section = Unhex(args[1].c_str());
    std::string key = Unhex(args[2].c_str());
    if (command == L"read") {
        std::string buffer(65536, '\0');
        DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), DWORD(buffer.size()),
                                           path.c_str());
        PrintHex(std::string_view(buffer.data(), n));
    } else if (command == L"readint") {
        int fallback = int(std::wcstol(args[3].c_str(), nullptr, 10));
        std::printf("%d\n", int(GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, path.c_str())));
    } else {
        std::string value = Unhex(args[3].c_str());
        bool ok = WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
        std::printf(ok ? "ok\n" : "failed\n");
    }
    return 0;
}

int WideCommand(const std::wstring& command, const std::vector<std::wstring>& args) {
    platform::Win32Profile profile;
    std::string section = Unhex(args[1].c_str());
    std::string key = Unhex(args[2].c_str());
    if (command == L"wread") {
        PrintHex(profile.ReadString(args[0], section, key, ""));
    } else if (command == L"wreadint") {
        std::printf("%d\n", profile.ReadInt(args[0], section, key, int(std::wcstol(args[3].c_str(), nullptr, 10))));
    } else {
        std::printf(profile.WriteString(args[0], section, key, Unhex(args[3].c_str())) ? "ok\n" : "failed\n");
    }
    return 0;
}

// Files and folders in `folder`, without "." and "..".
int CountEntries(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] != L'.')
                ++entries;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return entries;
}

int FilesCommand(const std::wstring& folder) {
    std::wstring file = folder + L"\\★file.txt";
    std::string failures;
    auto expect = [&](bool ok, const char* what) {
        if (!ok)
            failures += std::string(" ") + what;
    };
    expect(!platform::IsOrdinaryFile(file), "missing-is-file");
    expect(!platform::ReadWholeFile(file), "missing-read");
    expect(platform::ReplaceWholeFile(file, std::string("first\r\n")), "create");
    expect(platform::ReplaceWholeFile(file, std::string("second\0x", 8)), "replace");
    expect(platform::ReadWholeFile(file) == std::string("second\0x", 8), "read-back");
    expect(platform::IsOrdinaryFile(file), "is-file");
    expect(!platform::IsOrdinaryFile(folder), "folder-is-file");
    expect(!platform::ReadWholeFile(folder), "folder-read");
    expect(!platform::ReplaceWholeFile(folder + L"\\no folder\\x.txt", "x"), "missing-folder");
    expect(CountEntries(folder) == 1, "leftover-files");
    std::printf("%s\n", failures.empty() ? "ok" : ("failed:" + failures).c_str());
    return 0;
}

int SettingsCommand(const std::wstring& folder) {
    platform::Win32Profile profile;
    SettingsFiles files(profile, folder);
    std::string failures;
    auto expect = [&](bool ok, const char* what) {
        if (!ok)
            failures += std::string(" ") + what;
    };
    SetCurrentDirectoryW(folder.c_str());
    SettingsValues saved;
    saved.SmtpServer = L"smtp.example.jp";
    saved.Pop3Server = L"ポップ3";
    saved.MailAddress = std::wstring(120, L'名');
    saved.UseApop = 1;
    files.SaveServerSettings(saved);
    SettingsValues loaded;
    files.LoadServerSettings(loaded);
    expect(loaded.SmtpServer == saved.SmtpServer && loaded.Pop3Server == saved.Pop3Server, "server-names");
    expect(loaded.MailAddress == saved.MailAddress.substr(0, 100) && loaded.UseApop == 1, "mail-and-apop");

    expect(files.ReadAccountValue("NAME").empty() && files.ReadDisconnectFlag() == 0, "missing-values");
    files.WriteAccountValue("NAME", L"ユーザー 名");
    files.WriteAccountValue("NAME2", std::wstring(150, L'あ'));
    files.WriteDisconnectFlag(L"1");
    expect(files.ReadAccountValue("NAME") == L"ユーザー 名", "account-name");
    expect(files.ReadAccountValue("NAME2") == std::wstring(127, L'あ'), "account-cut");
    expect(files.ReadDisconnectFlag() == 1, "flag");

    // The clear password above is read, then stored protected in one replacement of the file.
    expect(files.ReadAccountPassword() == std::wstring(150, L'あ'), "clear-password");
    expect(files.ReadAccountValue("NAME2").empty() && files.ReadAccountPassword() == std::wstring(150, L'あ'),
           "password-protected");
    const std::wstring password = L"パス ü\U0001F600" + std::wstring(300, L'x');
    files.WriteAccountPassword(password);
    expect(files.ReadAccountPassword() == password && files.ReadAccountValue("NAME") == L"ユーザー 名", "password");
    std::string stored = platform::ReadWholeFile(folder + L"\\★MailData\\iniIdPass.ini").value_or("");
    expect(stored.find("NAME2PROTECTED=") != std::string::npos && stored.find("xxxx") == std::string::npos,
           "password-clear");
    // A clear password in a Unicode account file keeps what the ANSI code page lacks when it is protected.
    const std::wstring unicode = L"[EXEINI]\r\nNAME2=" + password + L"\r\n";
    platform::ReplaceWholeFile(
        folder + L"\\★MailData\\iniIdPass.ini",
        "\xFF\xFE" + std::string(reinterpret_cast<const char*>(unicode.data()), unicode.size() * 2));
    expect(files.ReadAccountPassword() == password && files.ReadAccountPassword() == password, "unicode-password");
    expect(CountEntries(folder + L"\\★MailData") == 2, "leftover-copies");  // iniIdPass.ini and ini.ini
    std::printf("%s\n", failures.empty() ? "ok" : ("failed:" + failures).c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"acp") {
        std::printf("%u\n", GetACP());
        return 0;
    }
    if (argc < 3)
        return 2;
    std::wstring command = argv[1];
    std::vector<std::wstring> args(argv + 2, argv + argc);
    if (command == L"files")
        return FilesCommand(args[0]);
    if (command == L"settings")
        return SettingsCommand(args[0]);
    bool writes = command == L"write" || command == L"wwrite";
    bool ints = command == L"readint" || command == L"wreadint";
    if (args.size() < ((writes || ints) ? 4u : 3u))
        return 2;
    if (command[0] == L'w' && command != L"write")
        return WideCommand(command, args);
    return AnsiCommand(command, args);
}
