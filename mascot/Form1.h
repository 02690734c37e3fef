// The mascot window: a borderless, always-on-top girl cut to her outline that wanders over the screen
// by itself, follows a left-button drag and ends the program on a right-button press.
#pragma once

#include <array>
#include <cstdint>

#include "mascot/FrameShape.h"
#include "platform/forms/Form.h"

namespace app {
class App;
}  // namespace app

namespace mascot {

class Form1 : public platform::Form {
public:
    explicit Form1(app::App& app);

    // Fills FrameRgnData with the outline of each of the eight frame pictures.
    void BuildFrameRegions();
    // A new region from frame k's record; frame numbers outside 0..7 are a run-time error.
    platform::RegionHandle CreateFrameRegion(std::int16_t k);
    // The window takes the region over and redraws.
    void ApplyWindowShape(platform::RegionHandle region);

    float TppX = 0;
    float TppY = 0;
    std::int16_t StepX = 0;
    std::int16_t StepY = 0;
    std::array<mascot::RegionRecord, 8> FrameRgnData;
    platform::Xform RgnXform;
    std::int16_t StepsLeft = 0;  // ticks left in the current motion

private:
    void OnLoadStep() override;
    void OnUnloadStep() override;
    void OnTimerTick(int control) override;
    void OnMouseDownEvent(int button, int shift, float x, float y) override;
    void Wander();

    app::App& app_;
};

}  // namespace mascot
