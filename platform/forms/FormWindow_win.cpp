// The form window's life, its message switch and the NativeWindow calls. An event handler may unload the
// form, which destroys this object and the window inside the message being handled, so nothing touches
// `this` after an event has been passed on.
#include "platform/forms/FormWindow_win.h"

#include <windowsx.h>

#include <string>

#include "platform/base/RuntimeError.h"

namespace platform::win {

namespace {

bool gEventsBlocked = false;

int ShiftState(WPARAM keys) {
    int shift = 0;
    if (keys & MK_SHIFT)
        shift |= 1;
    if (keys & MK_CONTROL)
        shift |= 2;
    if (GetKeyState(VK_MENU) < 0)
        shift |= 4;
    return shift;
}

}  // namespace

// Class, message routing and static helpers

bool FormWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &FormWindow::WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kFormClassName;
    return RegisterClassExW(&wc) != 0;
}

bool FormWindow::IsForm(HWND hwnd) {
    return FromHandle(hwnd) != nullptr;
}

FormWindow* FormWindow::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    wchar_t name[32];
    if (!GetClassNameW(hwnd, name, 32) || std::wstring_view(name) != kFormClassName)
        return nullptr;
    return reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void FormWindow::TrackFocus() {
    static HWND last = nullptr;
    HWND focus = GetFocus();
    if (focus == last)
        return;
    last = focus;
    if (FormWindow* form = focus ? FromHandle(GetParent(focus)) : nullptr)
        form->UpdateDefaultButton(focus);
}

void FormWindow::BlockEvents() {
    gEventsBlocked = true;
}

bool FormWindow::EventsAllowed() const {
    return !gEventsBlocked;
}

LRESULT CALLBACK FormWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->s_.hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnMessage(msg, wParam, lParam);
}

LRESULT FormWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: return OnPaint();
        case WM_ERASEBKGND: return 1;  // WM_PAINT covers the whole client area
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_TIMER: return OnTimerMessage(wParam);
        case WM_DRAWITEM: return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: return OnControlColour(msg, wParam, lParam);
        case WM_LBUTTONDOWN: return OnMouseDown(kLeftButton, wParam, lParam);
        case WM_RBUTTONDOWN: return OnMouseDown(kRightButton, wParam, lParam);
        case WM_MBUTTONDOWN: return OnMouseDown(kMiddleButton, wParam, lParam);
        case WM_ACTIVATE: return OnActivate(wParam, lParam);
        case WM_SETFOCUS: FocusRemembered(); return 0;
        case WM_NEXTDLGCTL: return OnNextControl(wParam, lParam);
        case WM_CLOSE: return OnClose();
    }
    return DefWindowProcW(s_.hwnd, msg, wParam, lParam);
}

// Life

FormWindow::FormWindow(const UiResources& ui, const FormDef& def, WindowEvents& events)
    : ui_(ui), def_(def), events_(events) {
    s_.controls.resize(def_.controls.size());
    if (!CreateFrame())
        throw RuntimeErrorException{kOutOfMemoryError, L"メモリが不足しています。"};
    CreateControls();
}

FormWindow::~FormWindow() {
    HWND hwnd = s_.hwnd;
    if (!hwnd)
        return;
    // The window may be inside one of its own messages (the close box unloads the form): from here
    // on its messages go straight to the default procedure.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    for (ControlSlot& slot : s_.controls) {
        if (!slot.hwnd)
            continue;
        RemovePropW(slot.hwnd, kControlProperty);
        GlobalDeleteAtom(slot.nameAtom);
    }
    RemovePropW(hwnd, kFormProperty);
    GlobalDeleteAtom(s_.nameAtom);
    DestroyWindow(hwnd);  // children, timers, menu and window region go with it
}

// Messages

LRESULT FormWindow::OnCommand(int id, int code) {
    if (!EventsAllowed())
        return 0;
    if (id == IDOK) {
        PressEnter();
        return 0;
    }
    if (id == IDCANCEL) {
        PressEscape();
        return 0;
    }
    int index = IndexOfCommand(id);
    if (index < 0)
        return 0;
    // A read-only box takes the focus like any tab stop, but a caret there would invite typing.
    if (code == EN_SETFOCUS && def_.controls[size_t(index)].readOnly)
        HideCaret(Child(index));
    ControlKind kind = def_.controls[size_t(index)].kind;
    // Owner-drawn buttons report a quick second click as a double click; it is still a click.
    bool click = (kind == ControlKind::Button && (code == BN_CLICKED || code == BN_DOUBLECLICKED)) ||
                 (kind == ControlKind::CheckBox && code == BN_CLICKED);
    if (click)
        events_.OnClick(index);
    return 0;
}

LRESULT FormWindow::OnTimerMessage(WPARAM id) {
    int index = int(id) - 1;
    if (EventsAllowed() && index >= 0 && size_t(index) < s_.controls.size() &&
        def_.controls[size_t(index)].kind == ControlKind::Timer)
        events_.OnTimer(index);
    return 0;
}

LRESULT FormWindow::OnMouseDown(int button, WPARAM wParam, LPARAM lParam) {
    if (!EventsAllowed())
        return 0;
    float x = float(GET_X_LPARAM(lParam)) * ui_.twipsPerPixelX;
    float y = float(GET_Y_LPARAM(lParam)) * ui_.twipsPerPixelY;
    events_.OnMouseDown(button, ShiftState(wParam), x, y);
    return 0;
}

LRESULT FormWindow::OnActivate(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (IndexOf(focus) >= 0)
            s_.savedFocus = focus;
        return 0;
    }
    if (HIWORD(wParam))  // minimised
        return DefWindowProcW(s_.hwnd, WM_ACTIVATE, wParam, lParam);
    FocusRemembered();
    return 0;
}

// The dialog manager asks for this when a label's access key is pressed: focus the label, then the
// tab stop after it.
LRESULT FormWindow::OnNextControl(WPARAM wParam, LPARAM lParam) {
    HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(s_.hwnd, GetFocus(), wParam != 0);
    if (!target)
        return 0;
    SetFocus(target);
    int index = IndexOf(target);
    if (index >= 0 && def_.controls[size_t(index)].kind == ControlKind::TextBox)
        SendMessageW(target, EM_SETSEL, 0, -1);
    return 0;
}

LRESULT FormWindow::OnClose() {
    if (EventsAllowed())
        events_.OnCloseRequest();
    return 0;
}

// Keyboard and focus, as a dialog box would do it

void FormWindow::PressEnter() {
    int focused = IndexOf(GetFocus());
    if (focused >= 0 && def_.controls[size_t(focused)].kind == ControlKind::Button) {
        events_.OnClick(focused);
        return;
    }
    for (size_t i = 0; i < s_.controls.size(); ++i) {
        if (def_.controls[i].isDefault && s_.controls[i].hwnd && IsWindowEnabled(s_.controls[i].hwnd)) {
            events_.OnClick(int(i));
            return;
        }
    }
}

void FormWindow::PressEscape() {
    for (size_t i = 0; i < s_.controls.size(); ++i) {
        if (def_.controls[i].isCancel && s_.controls[i].hwnd && IsWindowEnabled(s_.controls[i].hwnd)) {
            events_.OnClick(int(i));
            return;
        }
    }
}

HWND FormWindow::FirstTabStop() const {
    for (int index : s_.tabOrder) {
        HWND child = s_.controls[size_t(index)].hwnd;
        if (child && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(child))
            return child;
    }
    return nullptr;
}

void FormWindow::FocusRemembered() {
    HWND target = s_.savedFocus;
    if (IndexOf(target) < 0 || !IsWindowEnabled(target) || !(GetWindowLongW(target, GWL_STYLE) & WS_VISIBLE))
        target = FirstTabStop();
    if (target)
        SetFocus(target);
}

void FormWindow::UpdateDefaultButton(HWND focus) {
    int focused = IndexOf(focus);
    bool onPushButton = focused >= 0 && def_.controls[size_t(focused)].kind == ControlKind::Button &&
                        !def_.controls[size_t(focused)].graphical;
    for (size_t i = 0; i < s_.controls.size(); ++i) {
        const ControlDef& c = def_.controls[i];
        HWND button = s_.controls[i].hwnd;
        if (c.kind != ControlKind::Button || c.graphical || !button)
            continue;
        bool wanted = onPushButton ? int(i) == focused : c.isDefault;
        bool isDefault = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (wanted != isDefault)
            SendMessageW(button, BM_SETSTYLE, wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

// NativeWindow

void FormWindow::PrepareFirstShow() {
    if (s_.shownBefore)
        return;
    s_.shownBefore = true;
    if (!def_.centreOnFirstShow || s_.movedByProgram)
        return;
    RECT r;
    GetWindowRect(s_.hwnd, &r);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    SetWindowPos(s_.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::Show() {
    // A window without a caption (the mascot) comes out without taking the focus from the user's work.
    bool quiet = def_.border == Border::None;
    if (!IsVisible()) {
        PrepareFirstShow();
        ShowWindow(s_.hwnd, quiet ? SW_SHOWNOACTIVATE : SW_SHOW);
        return;
    }
    // Shown again: to the front.
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | (quiet ? SWP_NOACTIVATE : 0);
    SetWindowPos(s_.hwnd, HWND_TOP, 0, 0, 0, 0, flags);
}

void FormWindow::Hide() {
    ShowWindow(s_.hwnd, SW_HIDE);
}

bool FormWindow::IsVisible() const {
    return (GetWindowLongW(s_.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void FormWindow::MakeTopmost(bool alsoShow) {
    if (alsoShow)
        PrepareFirstShow();
    SetWindowPos(s_.hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | (alsoShow ? SWP_SHOWWINDOW : 0));
}

PixelRect FormWindow::Bounds() const {
    RECT r;
    GetWindowRect(s_.hwnd, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void FormWindow::Move(int x, int y) {
    s_.movedByProgram = true;
    SetWindowPos(s_.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::Resize(int width, int height) {
    SetWindowPos(s_.hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND FormWindow::Child(int index) const {
    return index >= 0 && size_t(index) < s_.controls.size() ? s_.controls[size_t(index)].hwnd : nullptr;
}

void FormWindow::SetText(int control, std::wstring_view text) {
    HWND target = control < 0 ? s_.hwnd : Child(control);
    if (target)
        SetWindowTextW(target, std::wstring(text).c_str());
}

std::wstring FormWindow::Text(int control) const {
    HWND target = control < 0 ? s_.hwnd : Child(control);
    if (!target)
        return {};
    std::wstring text(size_t(GetWindowTextLengthW(target)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(target, text.data(), int(text.size()))));
    return text;
}

void FormWindow::SetValue(int control, int value) {
    if (HWND child = Child(control))
        SendMessageW(child, BM_SETCHECK, WPARAM(value), 0);
}

int FormWindow::Value(int control) const {
    HWND child = Child(control);
    return child ? int(SendMessageW(child, BM_GETCHECK, 0, 0)) : 0;
}

void FormWindow::SetControlBounds(int control, PixelRect rect) {
    if (control < 0 || size_t(control) >= s_.controls.size())
        return;
    s_.controls[size_t(control)].rect = rect;
    if (HWND child = Child(control))
        SetWindowPos(child, nullptr, rect.x, rect.y, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    else
        InvalidateClient();
}

void FormWindow::SetPicture(int control, PicturePtr picture) {
    if (control < 0 || size_t(control) >= s_.controls.size())
        return;
    s_.controls[size_t(control)].picture = std::move(picture);
    if (HWND child = Child(control))
        InvalidateRect(child, nullptr, FALSE);
    else
        InvalidateClient();
}

void FormWindow::SetFormPicture(PicturePtr picture) {
    s_.formPicture = std::move(picture);
    InvalidateClient();
}

void FormWindow::SetTimer(int control, int intervalMs) {
    UINT_PTR id = UINT_PTR(control) + 1;
    if (intervalMs > 0)
        ::SetTimer(s_.hwnd, id, UINT(intervalMs), nullptr);
    else
        KillTimer(s_.hwnd, id);
}

void FormWindow::SetRegion(RegionHandle region, bool redraw) {
    HRGN rgn = static_cast<HRGN>(region);
    if (!SetWindowRgn(s_.hwnd, rgn, redraw) && rgn)
        DeleteObject(rgn);  // not taken over: still ours to free
}

void FormWindow::BeginCaptionDrag() {
    HWND hwnd = s_.hwnd;
    DWORD zero = 0;
    ReleaseCapture();
    SendMessageA(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, reinterpret_cast<LPARAM>(&zero));
}

}  // namespace platform::win
