// The settings window (SetForm): the handlers of its buttons, menus and auto-disconnect box.
#include "settings/SetForm.h"

#include "app/App.h"
#include "app/Form2.h"
#include "app/Sound.h"
#include "mailcheck/DialUpDisconnect.h"
#include "mailcheck/MailCheck.h"
#include "mascot/Form1.h"
#include "platform/FileUrl.h"
#include "resources/layouts/SetFormLayout.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"

namespace settings {

using namespace setform_layout;

namespace {
constexpr int kYesNoQuestion = 36;  // MB_YESNO | MB_ICONQUESTION
constexpr int kYes = 6;             // IDYES
}  // namespace

std::wstring HomePageAddress(std::wstring_view programFolder) {
    return platform::FileUrl(std::wstring(programFolder) + L"\\about.html");
}

SetForm::SetForm(app::App& app) : Form(app.Gui(), kForm), app_(app) {}

void SetForm::OnLoadStep() {
    TakeDisconnectFlag(app_.Files().ReadDisconnectFlag());
}

void SetForm::TakeDisconnectFlag(int flag) {
    if (flag == 1 || flag == 0)
        (*this)[Check1].SetValue(flag);
}

void SetForm::OnUnloadStep() {
    app_.Files().WriteDisconnectFlag((*this)[Check1].Value() == 1 ? L"1" : L"0");
}

void SetForm::OnControlClick(int control) {
    switch (control) {
        case Command1: app_.GetIdPassForm().Show(); break;
        case Command2: app_.GetOptionForm().Show(); break;
        case Command3: ShowGirl(); break;
        case Command4: PutBack(); break;
        case Command5: OfferHomePage(); break;
        case Command6: RunMailCheck(); break;
        case Command7: Disconnect(); break;
        default: break;
    }
}

void SetForm::ShowGirl() {
    app_.GetForm2().StartAppearance();
    Unload();
}

void SetForm::PutBack() {
    app_.GetForm2().StopAppearance();
    app_.GetForm1().Unload();
    app_.GetForm2().ResetImage2();
    Unload();
}

void SetForm::OfferHomePage() {
    int answer =
        app_.Gui().MessageBox(L"「Kinoha」作者のホームページです。ちょっと見てみますか？", L"確認", kYesNoQuestion);
    if (answer != kYes)
        return;
    std::wstring address = HomePageAddress(app_.Gui().ProgramFolder());
    // Current systems no longer provide the old browser object; the default browser takes its place.
    if (!app_.Platform().browser.NavigateInternetExplorer(address))
        app_.Platform().browser.OpenDefault(address);
}

void SetForm::RunMailCheck() {
    mailcheck::CheckMail(app_);
    Unload();
}

void SetForm::Disconnect() {
    mailcheck::DisconnectDialUp(app_.Platform().dialUp);
}

}  // namespace settings
