// The main window (Form2): its load and unload steps, the 操作 button and the appearance timer.
#include "app/Form2.h"

#include "app/App.h"
#include "app/Sound.h"
#include "mascot/Form1.h"
#include "platform/nmail/NMail.h"
#include "resources/layouts/Form2Layout.h"
#include "settings/SetForm.h"

namespace app {

using namespace form2_layout;

namespace {
constexpr int kAppearanceTickMs = 1000;
constexpr float kMascotHeight = 5500;  // twips of Image2 before the mascot comes out
constexpr float kGrowth = 1.25f;
}  // namespace

Form2::Form2(App& app) : Form(app.Gui(), kForm), app_(app) {}

void Form2::OnLoadStep() {
    // Loading the mascot here starts its motion timer; it stays hidden until the sequence shows it.
    app_.GetForm1().Show();
    app_.GetForm1().Hide();

    // Ticking or clearing the settings window's box loads that window, hidden.
    app_.GetSetForm().TakeDisconnectFlag(app_.Files().ReadDisconnectFlag());

    app_.Files().LoadServerSettings(app_.Settings());

    nmail::NMailInitializeWinSock();
    nmail::NMailSetOption(nmail::kOptionTextCapacity, 8192);
}

void Form2::OnUnloadStep() {
    CloseSoundEffect(app_.Platform().mci);
    app_.GetForm1().Unload();
    nmail::NMailEndWinSock();
    app_.Gui().EndProgram();
}

void Form2::OnControlClick(int control) {
    if (control == Command2)
        app_.GetSetForm().Show();
    else if (control == Command1)
        StartAppearance();
}

void Form2::OnTimerTick(int control) {
    if (control == Timer1)
        GrowOrShowMascot();
}

void Form2::StartAppearance() {
    (*this)[Timer1].SetInterval(kAppearanceTickMs);
    PlaySoundEffect(app_.Platform().mci, app_.Gui().ProgramFolder());
}

void Form2::StopAppearance() {
    (*this)[Timer1].SetInterval(0);
}

void Form2::ResetImage2() {
    platform::Control image = (*this)[Image2];
    image.SetHeight(kImage2Height);
    image.SetWidth(kImage2Width);
    image.SetTop(kImage2Top);
    image.SetLeft(kImage2Left);
}

void Form2::GrowOrShowMascot() {
    platform::Control image = (*this)[Image2];
    if (image.Height() >= kMascotHeight) {
        app_.GetForm1().Show();
        return;
    }
    image.SetHeight(image.Height() * kGrowth);
    image.SetWidth(image.Width() * kGrowth);
}

}  // namespace app
