// The main window. Loading it is the program's start-up and closing it the program's end; its timer
// drives the appearance sequence that grows the small picture and then brings the mascot out.
#pragma once

#include "platform/forms/Form.h"

namespace app {

class App;

class Form2 : public platform::Form {
public:
    explicit Form2(App& app);

    // Timer1 at 1000 ms and the sound; shared with the settings window's "少女を出す".
    void StartAppearance();
    // Timer1 stopped and Image2 back to its creation geometry; part of "戻す".
    void StopAppearance();
    void ResetImage2();

private:
    void OnLoadStep() override;
    void OnUnloadStep() override;
    void OnControlClick(int control) override;
    void OnTimerTick(int control) override;
    void GrowOrShowMascot();

    App& app_;
};

}  // namespace app
