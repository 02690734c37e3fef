// The program: its platform, its settings values, its random-number generator and its six
// program-wide windows, each created on first use.
#pragma once

#include <memory>
#include <string>

#include "app/Platform.h"
#include "app/Random.h"
#include "settings/SettingsFiles.h"
#include "settings/SettingsValues.h"

class Form1;
class Form2;
class SetForm;
class IdPassForm;
class OptionForm;
class MsgForm;

class App {
public:
    explicit App(platform::Platform& platform);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    platform::Platform& Platform() { return platform_; }
    platform::Gui& Gui() { return platform_.gui; }
    SettingsValues& Settings() { return settings_; }
    Random& Rng() { return random_; }
    const SettingsFiles& Files() const { return files_; }

    Form1& GetForm1();
    Form2& GetForm2();
    SetForm& GetSetForm();
    IdPassForm& GetIdPassForm();
    OptionForm& GetOptionForm();
    MsgForm& GetMsgForm();

    // Start-up: loads the main window (its load step brings up the rest) and shows it.
    void Start();

private:
    platform::Platform& platform_;
    SettingsValues settings_;
    SettingsFiles files_;
    Random random_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<SetForm> setForm_;
    std::unique_ptr<IdPassForm> idPassForm_;
    std::unique_ptr<OptionForm> optionForm_;
    std::unique_ptr<MsgForm> msgForm_;
};
