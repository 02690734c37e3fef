// The settings window: every user action starts here. Its check box is the auto-disconnect option,
// read from the flag file at every load and written back at every unload.
#pragma once

#include <string>
#include <string_view>

#include "platform/forms/Form.h"

namespace app {
class App;
}  // namespace app

namespace settings {

class SetForm : public platform::Form {
public:
    explicit SetForm(app::App& app);

    // "少女を出す": start the appearance sequence and the sound, then close.
    void ShowGirl();
    // "切断": hang up every active dial-up connection.
    void Disconnect();
    // The auto-disconnect flag as read from its file: 1 ticks the box, 0 clears it, anything else leaves
    // the box (and, when the window is not loaded, the window) alone.
    void TakeDisconnectFlag(int flag);

private:
    void OnLoadStep() override;
    void OnUnloadStep() override;
    void OnControlClick(int control) override;
    void PutBack();
    void OfferHomePage();
    void RunMailCheck();

    app::App& app_;
};

// The page "作者" offers: about.html, shipped in the program folder, as a file URL.
std::wstring HomePageAddress(std::wstring_view programFolder);

}  // namespace settings
