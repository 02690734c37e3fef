// The mascot window's load, unload, mouse and timer handlers, and its outline records.
#include "mascot/Form1.h"

#include "app/App.h"
#include "app/Sound.h"
#include "mascot/Motion.h"
#include "platform/base/RuntimeError.h"
#include "resources/layouts/Form1Layout.h"

namespace mascot {

using namespace form1_layout;

Form1::Form1(app::App& app) : Form(app.Gui(), kForm), app_(app) {}

void Form1::OnLoadStep() {
    BuildFrameRegions();
    platform::Control frame = (*this)[Picture1(0)];
    SetWidth(frame.Width());
    SetHeight(frame.Height());
    MakeTopmost(false);
    TppX = app_.Gui().TwipsPerPixelX();
    TppY = app_.Gui().TwipsPerPixelY();
    app_.Rng().SeedFromClock();
    // A mascot loaded again starts with a fresh motion rather than the remains of the last one.
    StepsLeft = 0;
}

void Form1::OnUnloadStep() {
    app::CloseSoundEffect(app_.Platform().mci);
}

void Form1::OnMouseDownEvent(int button, int, float, float) {
    if (button & platform::kLeftButton)
        BeginCaptionDrag();
    else if (button == platform::kRightButton)
        app_.Gui().EndProgram();
}

void Form1::OnTimerTick(int control) {
    if (control == Timer1)
        Wander();
}

void Form1::Wander() {
    platform::Gui& gui = app_.Gui();
    platform::Control frame = (*this)[Picture1(0)];
    mascot::TickInputs in{TppX,
                          TppY,
                          Left(),
                          Top(),
                          frame.Width(),
                          frame.Height(),
                          float(gui.ScreenWidthPixels()) * gui.TwipsPerPixelX(),
                          float(gui.ScreenHeightPixels()) * gui.TwipsPerPixelY()};
    mascot::TickOutcome out = mascot::AdvanceMotion({StepsLeft, StepX, StepY}, app_.Rng(), in);
    SetTop(float(out.y));
    SetLeft(float(out.x));
    platform::RegionHandle region = CreateFrameRegion(out.frame);
    SetPicture((*this)[Picture1(out.frame)].Picture());
    ApplyWindowShape(region);
}

void Form1::BuildFrameRegions() {
    for (int k = 0; k < kFrameCount; ++k) {
        platform::Control picture = (*this)[Picture1(k)];
        mascot::BuildRecordFast(
            app_.Platform().regions, [&](int x, int y) { return picture.Point(x, y); }, FrameRgnData[size_t(k)]);
    }
}

platform::RegionHandle Form1::CreateFrameRegion(std::int16_t k) {
    if (k < 0 || k >= kFrameCount)
        throw platform::RuntimeErrorException{platform::kSubscriptOutOfRangeError,
                                              L"インデックスが有効範囲にありません。"};
    return mascot::CreateRegionFromRecord(app_.Platform().regions, RgnXform, FrameRgnData[size_t(k)]);
}

void Form1::ApplyWindowShape(platform::RegionHandle region) {
    SetRegion(region, true);
}

}  // namespace mascot
