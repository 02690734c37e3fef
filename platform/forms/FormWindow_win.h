// One top-level window built from a form definition, with its controls as child windows. The window
// procedure only translates: each message becomes one call into the form's WindowEvents.
#pragma once

#include <windows.h>
#undef MessageBox

#include <vector>

#include "platform/base/ScopedWin_win.h"
#include "platform/forms/Gui.h"
#include "platform/forms/PictureDraw_win.h"

namespace platform::win {

inline constexpr wchar_t kFormClassName[] = L"SorabuneForm";
inline constexpr wchar_t kFormProperty[] = L"Sorabune.Form";
inline constexpr wchar_t kControlProperty[] = L"Sorabune.Control";

// What every window shares; made once by Win32Gui.
struct UiResources {
    HINSTANCE instance = nullptr;
    HFONT font = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    float twipsPerPixelX = 15;
    float twipsPerPixelY = 15;
    PictureDrawer* pictures = nullptr;
};

class FormWindow final : public NativeWindow {
public:
    static bool RegisterWindowClass(HINSTANCE instance);
    // True for the program's own top-level windows (the message loop hands their keys to the dialog manager).
    static bool IsForm(HWND hwnd);
    // Called by the message loop after every message: the focused push button looks like the default one.
    static void TrackFocus();
    // From here on no event reaches the forms (the program is reporting an error and ending).
    static void BlockEvents();

    FormWindow(const UiResources& ui, const FormDef& def, WindowEvents& events);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void MakeTopmost(bool alsoShow) override;
    PixelRect Bounds() const override;
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

private:
    struct ControlSlot {
        HWND hwnd = nullptr;  // null for lines, images and timers, which have no window
        ATOM nameAtom = 0;
        PixelRect rect;  // client pixels; a line's other end is (width, height)
        PicturePtr picture;
        ScopedBrush backBrush;
        ScopedFont fittedFont;  // a smaller font when the UI font is too large for the control
    };
    struct State {
        HWND hwnd = nullptr;
        ATOM nameAtom = 0;
        std::vector<ControlSlot> controls;
        std::vector<int> tabOrder;  // tab stops, lowest tab index first
        PicturePtr formPicture;
        HWND savedFocus = nullptr;
        bool shownBefore = false;
        bool movedByProgram = false;
    };

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static FormWindow* FromHandle(HWND hwnd);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Building (FormWindowBuild_win.cpp).
    HWND CreateFrame();
    void CreateControls();
    void CreateControl(int index);
    bool CheckCaptionShows(std::wstring_view caption, int width) const;
    void FitFont(ControlSlot& slot, std::wstring_view text, int width, int height);
    PixelRect ToPixels(const TwipRect& rect) const;

    // Messages.
    LRESULT OnPaint();
    LRESULT OnCommand(int id, int code);
    LRESULT OnTimerMessage(WPARAM id);
    LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnControlColour(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseDown(int button, WPARAM wParam, LPARAM lParam);
    LRESULT OnActivate(WPARAM wParam, LPARAM lParam);
    LRESULT OnNextControl(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose();

    // Painting (FormWindowPaint_win.cpp).
    void PaintClient(HDC dc);
    void PaintUnderControl(HDC dc, HWND child);
    void DrawGraphicalButton(const DRAWITEMSTRUCT& item, int index);
    void DrawPictureBox(const DRAWITEMSTRUCT& item, int index);
    void InvalidateClient();

    // Keyboard and focus.
    void PressEnter();
    void PressEscape();
    void FocusRemembered();
    HWND FirstTabStop() const;
    void UpdateDefaultButton(HWND focus);

    void PrepareFirstShow();
    int IndexOf(HWND child) const;
    int IndexOfCommand(int id) const;
    HWND Child(int index) const;
    const ControlDef* Def(int index) const;
    bool EventsAllowed() const;

    const UiResources& ui_;
    const FormDef& def_;
    WindowEvents& events_;
    State s_;
};

}  // namespace platform::win
