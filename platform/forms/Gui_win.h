// The real window system: Win32Gui builds FormWindows, answers screen and resource questions and
// runs the program's message loop.
#pragma once

#include <windows.h>
#undef MessageBox

#include "platform/base/ScopedWin_win.h"
#include "platform/forms/FormWindow_win.h"
#include "platform/forms/Gui.h"
#include "platform/forms/PictureDraw_win.h"

namespace platform {

// The folder of the running executable, at any depth (a drive root keeps its separator).
std::wstring ExecutableFolder();

class Win32Gui final : public Gui {
public:
    explicit Win32Gui(HINSTANCE instance);
    ~Win32Gui() override;
    Win32Gui(const Win32Gui&) = delete;
    Win32Gui& operator=(const Win32Gui&) = delete;

    std::unique_ptr<NativeWindow> CreateNativeWindow(const FormDef& def, WindowEvents& events) override;
    float TwipsPerPixelX() const override { return ui_.twipsPerPixelX; }
    float TwipsPerPixelY() const override { return ui_.twipsPerPixelY; }
    int ScreenWidthPixels() const override;
    int ScreenHeightPixels() const override;
    int MessageBox(std::wstring_view text, std::wstring_view title, int style) override;
    std::wstring ProgramFolder() const override;
    std::string LoadResource(std::string_view name) override;
    [[noreturn]] void EndProgram() override;
    [[noreturn]] void RuntimeError(int number, std::wstring_view description) override;

    // Returns the exit code of a WM_QUIT; the program normally ends from a handler before that.
    int RunMessageLoop();

private:
    win::PictureDrawer pictures_;
    win::ScopedFont font_;
    win::ScopedIcon bigIcon_;
    win::ScopedIcon smallIcon_;
    win::UiResources ui_;
};

}  // namespace platform
