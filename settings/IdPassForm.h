// The account dialog: the POP3 user ID and password, stored in the account file only when the
// save box is ticked. A mail check reads the account from the file, never from this dialog.
#pragma once

#include "platform/forms/Form.h"

namespace app {
class App;
}  // namespace app

namespace settings {

class IdPassForm : public platform::Form {
public:
    explicit IdPassForm(app::App& app);

private:
    void OnLoadStep() override;
    void OnControlClick(int control) override;
    void Confirm();

    app::App& app_;
};

}  // namespace settings
