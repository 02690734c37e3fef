// The account dialog (IdPassForm): loads the stored user ID and password; OK takes what was typed and,
// with the save box ticked, stores it (the password protected for the current user).
#include "settings/IdPassForm.h"

#include "app/App.h"
#include "platform/Protect.h"
#include "resources/layouts/IdPassFormLayout.h"

namespace settings {

using namespace idpass_layout;

IdPassForm::IdPassForm(app::App& app) : Form(app.Gui(), kForm), app_(app) {}

void IdPassForm::OnLoadStep() {
    (*this)[IdText].SetText(app_.Files().ReadAccountValue("NAME"));
    std::wstring password = app_.Files().ReadAccountPassword();
    (*this)[PassText].SetText(password);
    platform::Wipe(password);
}

void IdPassForm::OnControlClick(int control) {
    if (control == OkCommand)
        Confirm();
    else if (control == CancelCommand)
        Unload();
}

void IdPassForm::Confirm() {
    std::wstring id = (*this)[IdText].Text();
    std::wstring password = (*this)[PassText].Text();
    SettingsValues& s = app_.Settings();
    platform::Wipe(s.UserPassword);  // a longer password frees its block
    s.UserId = id;
    s.UserPassword = password;
    if ((*this)[Check1].Value() == 1) {
        app_.Files().WriteAccountValue("NAME", id);
        bool saved = app_.Files().WriteAccountPassword(password);
        app_.Files().WriteAccountValue("NAME3", L"1");
        // Without it the next check would ask for the password again, with no word of why.
        if (!saved)
            app_.Gui().MessageBox(L"パスワードを保存できませんでした。", L"エラー", platform::Gui::kPlainMessageBox);
    } else {
        app_.Files().WriteAccountValue("NAME3", L"0");
    }
    platform::Wipe(id);
    platform::Wipe(password);
    Unload();
}

}  // namespace settings
