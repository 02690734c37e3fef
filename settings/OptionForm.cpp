// The server dialog (OptionForm): edits the server settings and writes them to quillo.ini on OK, the POP3
// server without the blanks around it and only when it can name a server.
#include "settings/OptionForm.h"

#include "app/App.h"
#include "resources/layouts/OptionFormLayout.h"
#include "settings/ServerName.h"

namespace settings {

using namespace option_layout;

OptionForm::OptionForm(app::App& app) : Form(app.Gui(), kForm), app_(app) {}

void OptionForm::OnLoadStep() {
    MakeTopmost(true);
    const SettingsValues& s = app_.Settings();
    (*this)[SmtpText].SetText(s.SmtpServer);
    (*this)[Pop3Text].SetText(s.Pop3Server);
    (*this)[MailText].SetText(s.MailAddress);
    // A hand-edited file may hold any number; every non-zero value asks for APOP.
    (*this)[ApopCheck].SetValue(s.UseApop != 0 ? 1 : 0);
}

void OptionForm::OnControlClick(int control) {
    if (control == OkCommand)
        Confirm();
    else if (control == CancelCommand)
        Unload();
}

void OptionForm::Confirm() {
    // A POP3 server that can never be one is shown with the reason, and the dialog stays open to mend it.
    std::wstring pop3(TrimServerName((*this)[Pop3Text].Text()));
    if (std::optional<std::wstring> refusal = pop3.empty() ? std::nullopt : Pop3ServerRefusal(pop3)) {
        app_.Gui().MessageBox(*refusal, L"エラー", platform::Gui::kPlainMessageBox);
        return;
    }
    SettingsValues& s = app_.Settings();
    s.SmtpServer = (*this)[SmtpText].Text();
    s.Pop3Server = pop3;
    s.MailAddress = (*this)[MailText].Text();
    s.UseApop = (*this)[ApopCheck].Value() == 1 ? 1 : 0;
    app_.Files().SaveServerSettings(s);
    Unload();
}

}  // namespace settings
