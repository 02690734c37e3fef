// The server dialog: SMTP and POP3 server names, mail address and the APOP choice, shown from the
// values in memory and saved to "quillo.ini" on "設定". It stays above the program's other windows.
#pragma once

#include "platform/forms/Form.h"

namespace app {
class App;
}  // namespace app

namespace settings {

class OptionForm : public platform::Form {
public:
    explicit OptionForm(app::App& app);

private:
    void OnLoadStep() override;
    void OnControlClick(int control) override;
    void Confirm();

    app::App& app_;
};

}  // namespace settings
