// The headless window system: every window a record, every timer on a virtual clock.
#include "platform/forms/Gui_headless.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#ifndef SORABUNE_RESOURCE_DIR
#define SORABUNE_RESOURCE_DIR "resources"
#endif

namespace platform {

HeadlessWindow::HeadlessWindow(HeadlessGui& gui, const FormDef& def, WindowEvents& events)
    : gui_(gui), def_(def), events_(events), controls_(def.controls.size()) {
    float tx = gui.TwipsPerPixelX(), ty = gui.TwipsPerPixelY();
    int extra = def.border == Border::None ? 0 : 8;
    int caption = def.border == Border::None ? 0 : 23;
    bounds_ = {0, 0, int(std::lround(def.clientWidth / tx)) + extra,
               int(std::lround(def.clientHeight / ty)) + extra + caption};
    for (size_t i = 0; i < def.controls.size(); ++i) {
        const ControlDef& c = def.controls[i];
        controls_[i].text = std::wstring(c.caption);
        controls_[i].bounds = {int(std::lround(c.rect.left / tx)), int(std::lround(c.rect.top / ty)),
                               int(std::lround(c.rect.width / tx)), int(std::lround(c.rect.height / ty))};
    }
    gui_.Register(this);
    gui_.Record(L"create " + std::wstring(def.name));
}

HeadlessWindow::~HeadlessWindow() {
    gui_.ReleaseRegion(region_);
    gui_.Unregister(this);
    gui_.Record(L"destroy " + std::wstring(def_.name));
}

void HeadlessWindow::MarkShown() {
    if (!shownBefore_ && def_.centreOnFirstShow) {
        bounds_.x = (gui_.ScreenWidthPixels() - bounds_.width) / 2;
        bounds_.y = (gui_.ScreenHeightPixels() - bounds_.height) / 2;
    }
    shownBefore_ = true;
    visible_ = true;
}

void HeadlessWindow::Show() {
    MarkShown();
    ++showCount_;
    gui_.Record(L"show " + std::wstring(def_.name));
}

void HeadlessWindow::Hide() {
    visible_ = false;
    gui_.Record(L"hide " + std::wstring(def_.name));
}

void HeadlessWindow::MakeTopmost(bool alsoShow) {
    topmost_ = true;
    if (alsoShow)
        MarkShown();
    gui_.Record(L"topmost " + std::wstring(def_.name) + (alsoShow ? L" 0x43" : L" 0x3"));
}

void HeadlessWindow::Move(int x, int y) {
    bounds_.x = x;
    bounds_.y = y;
    ++moveCount_;
}

void HeadlessWindow::Resize(int width, int height) {
    bounds_.width = width;
    bounds_.height = height;
}

void HeadlessWindow::SetText(int control, std::wstring_view text) {
    controls_.at(size_t(control)).text = std::wstring(text);
}

std::wstring HeadlessWindow::Text(int control) const {
    return controls_.at(size_t(control)).text;
}

void HeadlessWindow::SetValue(int control, int value) {
    controls_.at(size_t(control)).value = value;
}

int HeadlessWindow::Value(int control) const {
    return controls_.at(size_t(control)).value;
}

void HeadlessWindow::SetControlBounds(int control, PixelRect rect) {
    controls_.at(size_t(control)).bounds = rect;
}

void HeadlessWindow::SetPicture(int control, PicturePtr picture) {
    controls_.at(size_t(control)).picture = std::move(picture);
}

void HeadlessWindow::SetFormPicture(PicturePtr picture) {
    formPicture_ = std::move(picture);
}

void HeadlessWindow::SetTimer(int control, int intervalMs) {
    gui_.ScheduleTimer(this, control, intervalMs);
}

void HeadlessWindow::SetRegion(RegionHandle region, bool) {
    if (region != region_)
        gui_.ReleaseRegion(region_);
    region_ = region;
    ++regionCount_;
}

void HeadlessWindow::BeginCaptionDrag() {
    ++captionDrags_;
    gui_.Record(L"drag " + std::wstring(def_.name));
}

void HeadlessWindow::Type(int control, std::wstring_view text) {
    controls_.at(size_t(control)).text = std::wstring(text);
}

int HeadlessWindow::TimerInterval(int control) const {
    return gui_.TimerInterval(this, control);
}

int HeadlessWindow::ControlIndex(std::wstring_view name, int index) const {
    for (size_t i = 0; i < def_.controls.size(); ++i)
        if (def_.controls[i].name == name && def_.controls[i].index == index)
            return int(i);
    return -1;
}

HeadlessGui::HeadlessGui() = default;
HeadlessGui::~HeadlessGui() = default;

std::unique_ptr<NativeWindow> HeadlessGui::CreateNativeWindow(const FormDef& def, WindowEvents& events) {
    ++windowsCreated_;
    auto window = std::make_unique<HeadlessWindow>(*this, def, events);
    window->Move(nextX_, nextX_);
    nextX_ = (nextX_ + 22) % 200;
    return window;
}

int HeadlessGui::MessageBox(std::wstring_view text, std::wstring_view title, int style) {
    int answer = (style & 0xF) == 4 ? 7 : 1;  // unscripted: No for Yes/No, otherwise OK
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    messageBoxes_.push_back({std::wstring(text), std::wstring(title), style, answer});
    Record(L"msgbox " + std::wstring(title));
    return answer;
}

std::string HeadlessGui::LoadResource(std::string_view name) {
    for (const char* folder : {"/", "/frames/"}) {
        std::ifstream in(std::string(SORABUNE_RESOURCE_DIR) + folder + std::string(name), std::ios::binary);
        if (in) {
            std::ostringstream bytes;
            bytes << in.rdbuf();
            return bytes.str();
        }
    }
    return {};
}

void HeadlessGui::EndProgram() {
    Record(L"end");
    throw ProgramEnded{};
}

void HeadlessGui::RuntimeError(int number, std::wstring_view description) {
    Record(L"runtime error " + std::to_wstring(number));
    throw ProgramEnded{true, number, std::wstring(description)};
}

void HeadlessGui::SetScreen(int width, int height, float twipsPerPixel) {
    screenWidth_ = width;
    screenHeight_ = height;
    twipsPerPixel_ = twipsPerPixel;
}

HeadlessWindow* HeadlessGui::Window(std::wstring_view formName) const {
    for (HeadlessWindow* w : windows_)
        if (w->Definition().name == formName)
            return w;
    return nullptr;
}

void HeadlessGui::Register(HeadlessWindow* window) {
    windows_.push_back(window);
}

void HeadlessGui::Unregister(HeadlessWindow* window) {
    std::erase(windows_, window);
    std::erase_if(timers_, [&](const Timer& t) { return t.window == window; });
}

void HeadlessGui::ScheduleTimer(HeadlessWindow* window, int control, int intervalMs) {
    std::erase_if(timers_, [&](const Timer& t) { return t.window == window && t.control == control; });
    if (intervalMs > 0)
        timers_.push_back({window, control, intervalMs, now_ + intervalMs, timerOrder_++});
}

int HeadlessGui::TimerInterval(const HeadlessWindow* window, int control) const {
    for (const Timer& t : timers_)
        if (t.window == window && t.control == control)
            return t.interval;
    return 0;
}

void HeadlessGui::Advance(int ms) {
    long long end = now_ + ms;
    for (;;) {
        auto next = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == timers_.end() || next->due > end)
            break;
        now_ = next->due;
        next->due += next->interval;
        next->order = timerOrder_++;
        HeadlessWindow* window = next->window;
        int control = next->control;
        window->Tick(control);  // may create, destroy or reschedule timers
    }
    now_ = end;
}

}  // namespace platform
