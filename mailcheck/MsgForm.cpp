// The new-mail notice (MsgForm): made topmost when it loads.
#include "mailcheck/MsgForm.h"

#include "app/App.h"
#include "resources/layouts/MsgFormLayout.h"

namespace mailcheck {

MsgForm::MsgForm(app::App& app) : Form(app.Gui(), msgform_layout::kForm) {}

void MsgForm::OnLoadStep() {
    MakeTopmost(true);
}

}  // namespace mailcheck
