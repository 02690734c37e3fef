// The whole program on headless backends: a temporary program folder with "★MailData", a temporary
// working directory, virtual time, scripted message boxes and a recording mail library.
#pragma once

#include <filesystem>
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
#include "tests/support/TempFolder.h"

class HeadlessApp {
public:
    HeadlessApp() {
        gui.SetProgramFolder(ProgramFolder().wstring());
        gui.SetRegionDeleter([this](platform::RegionHandle r) { regions.DeleteObject(r); });
    }
    ~HeadlessApp() { app.reset(); }  // before the folders go

    std::filesystem::path ProgramFolder() const { return folders_.Program(); }
    std::filesystem::path WorkingDirectory() const { return folders_.Work(); }
    std::filesystem::path FlagFile() const { return folders_.MailData() / "ini.ini"; }
    std::filesystem::path AccountFile() const { return folders_.MailData() / "iniIdPass.ini"; }
    std::filesystem::path ServerFile() const { return WorkingDirectory() / "quillo.ini"; }

    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) { TempFolder::Put(path, bytes); }
    static std::string ReadFile(const std::filesystem::path& path) { return TempFolder::Take(path); }

    // Starts the program as the window system would.
    app::App& Start() {
        app::App& a = Create();
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
    app::App& Create() {
        app = std::make_unique<app::App>(platform);
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
    std::unique_ptr<app::App> app;

private:
    ProgramFolders folders_;
};
