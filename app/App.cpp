#include "app/App.h"

#include "app/Form2.h"
#include "mailcheck/MsgForm.h"
#include "mascot/Form1.h"
#include "platform/forms/Form.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SetForm.h"

namespace app {

App::App(platform::Platform& platform) : platform_(platform), files_(platform.profile, platform.gui.ProgramFolder()) {}

App::~App() = default;

namespace {
template <typename T>
T& Instance(std::unique_ptr<T>& slot, App& app) {
    if (!slot)
        slot = std::make_unique<T>(app);
    return *slot;
}
}  // namespace

mascot::Form1& App::GetForm1() {
    return Instance(form1_, *this);
}
Form2& App::GetForm2() {
    return Instance(form2_, *this);
}
settings::SetForm& App::GetSetForm() {
    return Instance(setForm_, *this);
}
settings::IdPassForm& App::GetIdPassForm() {
    return Instance(idPassForm_, *this);
}
settings::OptionForm& App::GetOptionForm() {
    return Instance(optionForm_, *this);
}
mailcheck::MsgForm& App::GetMsgForm() {
    return Instance(msgForm_, *this);
}

void App::Start() {
    platform::RunHandler(Gui(), [&] { GetForm2().Show(); });
}

}  // namespace app
