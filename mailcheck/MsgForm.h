// The new-mail notice: a small always-on-top window with the check's sentence and message count.
// It stays open until the user closes it; a later check overwrites its texts.
#pragma once

#include "platform/forms/Form.h"

namespace app {
class App;
}  // namespace app

namespace mailcheck {

class MsgForm : public platform::Form {
public:
    explicit MsgForm(app::App& app);

private:
    void OnLoadStep() override;
};

}  // namespace mailcheck
