// Times one real mail check: the program on its headless windows with our POP3 client, pressing
// "メールチェック" against SERVER with the stored account USER / PASSWORD. Prints the count and seconds.
//
//   pop3_checkmail_bench SERVER USER PASSWORD
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/App.h"
#include "platform/Backends_headless.h"
#include "platform/Profile_headless.h"
#include "platform/Region_headless.h"
#include "platform/forms/Gui_headless.h"
#include "resources/layouts/MsgFormLayout.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/SetForm.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SERVER USER PASSWORD\n", argv[0]);
        return 2;
    }
    fs::path root = fs::temp_directory_path() / ("sorabune-checkmail-bench-" + std::to_string(::getpid()));
    fs::create_directories(root / "★MailData");
    std::ofstream(root / "quillo.ini", std::ios::binary) << "POP3=" << argv[1] << "\r\n";
    std::ofstream(root / "★MailData" / "iniIdPass.ini", std::ios::binary)
        << "[EXEINI]\r\nNAME=" << argv[2] << "\r\nNAME2=" << argv[3] << "\r\n";
    fs::current_path(root);

    platform::HeadlessGui gui;
    gui.SetProgramFolder(root.wstring());
    platform::HeadlessRegions regions;
    platform::HeadlessProfile profile;
    platform::HeadlessMci mci;
    platform::HeadlessDialUp dialUp;
    platform::HeadlessBrowser browser;
    platform::Platform platform{gui, regions, profile, mci, dialUp, browser};
    app::App app(platform);
    app.Start();
    app.GetSetForm().Show();

    auto start = std::chrono::steady_clock::now();
    gui.Window(L"SetForm")->Click(setform_layout::Command6);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::wstring count = gui.Window(L"MsgForm")->Text(msgform_layout::Text2);
    std::printf("messages %ls  seconds %.3f\n", count.c_str(), seconds);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(root);
    return count.empty() || count[0] == L'-' ? 1 : 0;
}
