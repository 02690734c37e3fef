// The program: its platform, its settings values, its random-number generator and its six
// program-wide windows, each created on first use.
#pragma once

#include <memory>
#include <string>

#include "app/Platform.h"
#include "app/Random.h"
#include "settings/SettingsFiles.h"
#include "settings/SettingsValues.h"

namespace mascot {
class Form1;
}  // namespace mascot
namespace settings {
class SetForm;
class IdPassForm;
class OptionForm;
}  // namespace settings
namespace mailcheck {
class MsgForm;
}  // namespace mailcheck

namespace app {

class Form2;

class App {
public:
    explicit App(platform::Platform& platform);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    platform::Platform& Platform() { return platform_; }
    platform::Gui& Gui() { return platform_.gui; }
    settings::SettingsValues& Settings() { return settings_; }
    Random& Rng() { return random_; }
    const settings::SettingsFiles& Files() const { return files_; }

    mascot::Form1& GetForm1();
    Form2& GetForm2();
    settings::SetForm& GetSetForm();
    settings::IdPassForm& GetIdPassForm();
    settings::OptionForm& GetOptionForm();
    mailcheck::MsgForm& GetMsgForm();

    // Start-up: loads the main window (its load step brings up the rest) and shows it.
    void Start();

private:
    platform::Platform& platform_;
    settings::SettingsValues settings_;
    settings::SettingsFiles files_;
    Random random_;
    std::unique_ptr<mascot::Form1> form1_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<settings::SetForm> setForm_;
    std::unique_ptr<settings::IdPassForm> idPassForm_;
    std::unique_ptr<settings::OptionForm> optionForm_;
    std::unique_ptr<mailcheck::MsgForm> msgForm_;
};

}  // namespace app
