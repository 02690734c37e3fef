// The whole program on headless backends: a temporary program folder with "★MailData", a temporary
// working directory, virtual time, scripted message boxes and a recording mail library.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "app/App.h"
#include "app/Form2.h"
#include "mailcheck/MsgForm.h"
#include "mascot/Form1.h"
#include "platform/Backends_headless.h"
#include "platform/Profile_headless.h"
#include "platform/Region_headless.h"
#include "platform/forms/Gui_headless.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"
#include "tests/support/FakeMailLibrary.h"

class HeadlessApp {
public:
    HeadlessApp() {
        root_ = std::filesystem::temp_directory_path() /
                ("sorabune-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(ProgramFolder() / "★MailData");
        std::filesystem::create_directories(WorkingDirectory());
        previousDirectory_ = std::filesystem::current_path();
        std::filesystem::current_path(WorkingDirectory());
        gui.SetProgramFolder(ProgramFolder().wstring());
        gui.SetRegionDeleter([this](platform::RegionHandle r) { regions.DeleteObject(r); });
    }
    ~HeadlessApp() {
        app.reset();
        std::filesystem::current_path(previousDirectory_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::filesystem::path ProgramFolder() const { return root_ / "program"; }
    std::filesystem::path WorkingDirectory() const { return root_ / "work"; }
    std::filesystem::path FlagFile() const { return ProgramFolder() / "★MailData" / "ini.ini"; }
    std::filesystem::path AccountFile() const { return ProgramFolder() / "★MailData" / "iniIdPass.ini"; }
    std::filesystem::path ServerFile() const { return WorkingDirectory() / "quillo.ini"; }

    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Starts the program as the window system would.
    App& Start() {
        App& a = Create();
        a.Start();
        return a;
    }
    // Opens the settings window from the main window's "操作" (starting the program first if needed)
    // and presses one of its buttons.
    void PressSettingsButton(int control) {
        if (!app)
            Start();
        app->GetSetForm().Show();
        gui.Window(L"SetForm")->Click(control);
    }
    App& Create() {
        app = std::make_unique<App>(platform);
        return *app;
    }

    platform::HeadlessGui gui;
    platform::HeadlessRegions regions;
    platform::HeadlessProfile profile;
    platform::HeadlessMci mci;
    platform::HeadlessDialUp dialUp;
    platform::HeadlessBrowser browser;
    FakeMailLibrary mail;
    platform::Platform platform{gui, regions, profile, mci, dialUp, browser};
    std::unique_ptr<App> app;

private:
    static inline int counter_ = 0;
    std::filesystem::path root_;
    std::filesystem::path previousDirectory_;
};
