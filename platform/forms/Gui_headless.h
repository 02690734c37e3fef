// The headless window system for native tests: windows are records, time is virtual, message boxes
// answer from a script, and ending the program throws ProgramEnded out of the running handler.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/forms/Gui.h"

namespace platform {

// Thrown where the real program would end the process.
struct ProgramEnded {
    bool byRuntimeError = false;
    int errorNumber = 0;
    std::wstring description;
};

struct MessageBoxCall {
    std::wstring text;
    std::wstring title;
    int style;
    int answer;
};

class HeadlessGui;

class HeadlessWindow final : public NativeWindow {
public:
    HeadlessWindow(HeadlessGui& gui, const FormDef& def, WindowEvents& events);
    ~HeadlessWindow() override;

    void Show() override;
    void Hide() override;
    bool IsVisible() const override { return visible_; }
    void MakeTopmost(bool alsoShow) override;
    PixelRect Bounds() const override { return bounds_; }
    void Move(int x, int y) override;
    void Resize(int width, int height) override;
    void SetText(int control, std::wstring_view text) override;
    std::wstring Text(int control) const override;
    void SetValue(int control, int value) override;
    int Value(int control) const override;
    void SetControlBounds(int control, PixelRect rect) override;
    void SetPicture(int control, PicturePtr picture) override;
    void SetFormPicture(PicturePtr picture) override;
    void SetTimer(int control, int intervalMs) override;
    void SetRegion(RegionHandle region, bool redraw) override;
    void BeginCaptionDrag() override;

    // What a user does.
    void Click(int control) { events_.OnClick(control); }
    void Type(int control, std::wstring_view text);
    void PressClose() { events_.OnCloseRequest(); }
    void MouseDown(int button) { events_.OnMouseDown(button, 0, 0, 0); }
    void Tick(int control) { events_.OnTimer(control); }

    // What tests look at.
    const FormDef& Definition() const { return def_; }
    bool IsTopmost() const { return topmost_; }
    int ShowCount() const { return showCount_; }
    int MoveCount() const { return moveCount_; }
    RegionHandle Region() const { return region_; }
    int RegionCount() const { return regionCount_; }
    int CaptionDrags() const { return captionDrags_; }
    PicturePtr FormPicture() const { return formPicture_; }
    PixelRect ControlBounds(int control) const { return controls_.at(size_t(control)).bounds; }
    int TimerInterval(int control) const;
    int ControlIndex(std::wstring_view name, int index = -1) const;

private:
    void MarkShown();

    struct ControlRecord {
        std::wstring text;
        int value = 0;
        PixelRect bounds;
        PicturePtr picture;
    };
    HeadlessGui& gui_;
    const FormDef& def_;
    WindowEvents& events_;
    std::vector<ControlRecord> controls_;
    PixelRect bounds_;
    PicturePtr formPicture_;
    RegionHandle region_ = nullptr;
    bool visible_ = false;
    bool topmost_ = false;
    bool shownBefore_ = false;
    int showCount_ = 0;
    int moveCount_ = 0;
    int regionCount_ = 0;
    int captionDrags_ = 0;
};

class HeadlessGui final : public Gui {
public:
    HeadlessGui();
    ~HeadlessGui() override;

    std::unique_ptr<NativeWindow> CreateNativeWindow(const FormDef& def, WindowEvents& events) override;
    float TwipsPerPixelX() const override { return twipsPerPixel_; }
    float TwipsPerPixelY() const override { return twipsPerPixel_; }
    int ScreenWidthPixels() const override { return screenWidth_; }
    int ScreenHeightPixels() const override { return screenHeight_; }
    int MessageBox(std::wstring_view text, std::wstring_view title, int style) override;
    std::wstring ProgramFolder() const override { return programFolder_; }
    std::string LoadResource(std::string_view name) override;
    [[noreturn]] void EndProgram() override;
    [[noreturn]] void RuntimeError(int number, std::wstring_view description) override;

    // Test set-up.
    void SetScreen(int width, int height, float twipsPerPixel = 15);
    void SetProgramFolder(std::wstring folder) { programFolder_ = std::move(folder); }
    void QueueMessageBoxAnswer(int answer) { answers_.push_back(answer); }
    // Windows own their applied region and release it when a newer one replaces it, as the system does.
    void SetRegionDeleter(std::function<void(RegionHandle)> deleter) { regionDeleter_ = std::move(deleter); }
    void ReleaseRegion(RegionHandle region) {
        if (region && regionDeleter_)
            regionDeleter_(region);
    }

    // Virtual time: fires every timer that falls due, in order, as the message loop would.
    void Advance(int ms);
    long long Now() const { return now_; }

    // Inspection.
    HeadlessWindow* Window(std::wstring_view formName) const;  // null when not loaded
    const std::vector<MessageBoxCall>& MessageBoxes() const { return messageBoxes_; }
    const std::vector<std::wstring>& Log() const { return log_; }  // window-system calls, in order
    void Record(std::wstring entry) { log_.push_back(std::move(entry)); }
    int WindowsCreated() const { return windowsCreated_; }

    // Called by HeadlessWindow.
    void Register(HeadlessWindow* window);
    void Unregister(HeadlessWindow* window);
    void ScheduleTimer(HeadlessWindow* window, int control, int intervalMs);
    int TimerInterval(const HeadlessWindow* window, int control) const;

private:
    struct Timer {
        HeadlessWindow* window;
        int control;
        int interval;
        long long due;
        long long order;
    };

    float twipsPerPixel_ = 15;
    int screenWidth_ = 1024;
    int screenHeight_ = 768;
    std::wstring programFolder_ = L"C:\\Sorabune";
    std::deque<int> answers_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::vector<std::wstring> log_;
    std::vector<HeadlessWindow*> windows_;
    std::vector<Timer> timers_;
    long long now_ = 0;
    long long timerOrder_ = 0;
    int windowsCreated_ = 0;
    int nextX_ = 10;
    std::function<void(RegionHandle)> regionDeleter_;
};

}  // namespace platform
