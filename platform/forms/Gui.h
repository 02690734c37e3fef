// The window system as the program's windows see it: native windows built from a definition,
// typed events back into the windows, message boxes, the screen, resources and ending the program.
// Gui_win.cpp draws real windows; Gui_headless.cpp records everything for native tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/base/Region.h"
#include "platform/forms/Picture.h"

namespace platform {

enum class ControlKind { Button, TextBox, Label, CheckBox, Line, Image, PictureBox, Timer };
enum class Border { None, FixedSingle, FixedDialog };

// Positions and sizes in twips; for a line, (left, top) is one end and (width, height) the other end.
struct TwipRect {
    float left = 0, top = 0, width = 0, height = 0;
};

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct ControlDef {
    std::wstring_view name;  // "Command1"; control arrays repeat the name with an index
    int index = -1;          // element of a control array, -1 otherwise
    ControlKind kind = ControlKind::Button;
    TwipRect rect;
    std::wstring_view caption;
    int tabIndex = -1;  // -1: not a tab stop
    bool visible = true;
    bool graphical = false;  // button painted in its back colour
    std::optional<Colour> backColour;
    std::optional<Colour> foreColour;
    wchar_t passwordChar = 0;
    bool isDefault = false;  // Enter presses it
    bool isCancel = false;   // Esc presses it
    bool transparent = false;
    bool readOnly = false;     // a text box that only shows what the program writes: no typing, no caret
    std::string_view picture;  // resource name of an image or picture box
    int interval = 0;          // timer interval in ms at creation
};

struct MenuItemDef {
    std::wstring_view name;
    std::wstring_view caption;
};

struct MenuDef {
    std::wstring_view name;
    std::wstring_view caption;
    bool visible = true;
    std::span<const MenuItemDef> items;
};

struct FormDef {
    std::wstring_view name;  // "Form2"
    std::wstring_view caption;
    float clientWidth = 0, clientHeight = 0;  // twips
    Border border = Border::FixedSingle;
    bool hasIcon = true;
    bool centreOnFirstShow = true;
    bool showInTaskbar = true;
    std::string_view picture;  // resource drawn from the client area's top-left corner
    std::span<const ControlDef> controls;
    std::span<const MenuDef> menus;
};

enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// What a native window reports back to its form. Control numbers are indexes into FormDef::controls.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void OnClick(int control) = 0;
    virtual void OnTimer(int control) = 0;
    virtual void OnMouseDown(int button, int shift, float xTwips, float yTwips) = 0;
    virtual void OnCloseRequest() = 0;  // close box or system menu: the form unloads itself
};

// One window and its controls. Destroying the object destroys the window.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    virtual void Show() = 0;  // centres on the first show when the definition asks for it
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
    // SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE [| SWP_SHOWWINDOW]).
    virtual void MakeTopmost(bool alsoShow) = 0;

    // Outer window rectangle in screen pixels.
    virtual PixelRect Bounds() const = 0;
    virtual void Move(int x, int y) = 0;
    virtual void Resize(int width, int height) = 0;

    virtual void SetText(int control, std::wstring_view text) = 0;
    virtual std::wstring Text(int control) const = 0;
    virtual void SetValue(int control, int value) = 0;  // check box: 0 or 1
    virtual int Value(int control) const = 0;
    virtual void SetControlBounds(int control, PixelRect rect) = 0;  // client pixels
    virtual void SetPicture(int control, PicturePtr picture) = 0;    // image, picture box
    virtual void SetFormPicture(PicturePtr picture) = 0;
    virtual void SetTimer(int control, int intervalMs) = 0;  // 0 stops it

    // The window takes the region over; a newer region releases the older one.
    virtual void SetRegion(RegionHandle region, bool redraw) = 0;
    // Hands a left press to the window system's own move loop, as a caption press would.
    virtual void BeginCaptionDrag() = 0;
};

class Gui {
public:
    virtual ~Gui() = default;

    // Creates the window hidden, with every control of the definition.
    virtual std::unique_ptr<NativeWindow> CreateNativeWindow(const FormDef& def, WindowEvents& events) = 0;

    virtual float TwipsPerPixelX() const = 0;
    virtual float TwipsPerPixelY() const = 0;
    virtual int ScreenWidthPixels() const = 0;  // the primary screen, taskbar included
    virtual int ScreenHeightPixels() const = 0;

    // Modal; style and result use the window system's numbers (MB_YESNO | MB_ICONQUESTION = 36, IDYES = 6).
    virtual int MessageBox(std::wstring_view text, std::wstring_view title, int style) = 0;
    static constexpr int kPlainMessageBox = 0;  // MB_OK: an OK button and no icon

    // The folder of the executable, without a trailing separator.
    virtual std::wstring ProgramFolder() const = 0;
    // Bytes of a picture resource such as "frames/girl0.gif"; empty when missing.
    virtual std::string LoadResource(std::string_view name) = 0;

    // Ends the process at once: no unload step runs.
    [[noreturn]] virtual void EndProgram() = 0;
    // Reports a run-time error the way the runtime does, then ends the program.
    [[noreturn]] virtual void RuntimeError(int number, std::wstring_view description) = 0;
};

}  // namespace platform
