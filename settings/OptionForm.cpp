// The server dialog (OptionForm): edits the server settings and writes them to quillo.ini on OK.
#include "settings/OptionForm.h"

#include "app/App.h"
#include "resources/layouts/OptionFormLayout.h"

using namespace option_layout;

OptionForm::OptionForm(App& app) : Form(app.Gui(), kForm), app_(app) {}

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
    SettingsValues& s = app_.Settings();
    s.SmtpServer = (*this)[SmtpText].Text();
    s.Pop3Server = (*this)[Pop3Text].Text();
    s.MailAddress = (*this)[MailText].Text();
    s.UseApop = (*this)[ApopCheck].Value() == 1 ? 1 : 0;
    app_.Files().SaveServerSettings(s);
    Unload();
}
