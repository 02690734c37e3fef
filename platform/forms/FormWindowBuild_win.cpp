// Building a form's window: the frame from the border kind, then the controls in tab order, so that the
// dialog manager's walk through the child windows is the form's tab order.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/forms/FormWindow_win.h"

namespace platform::win {

namespace {

// Edit controls with the numbers of IDOK and IDCANCEL would send notifications that look like Enter and Esc.
constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;

struct FrameStyle {
    DWORD style;
    DWORD exStyle;
};

FrameStyle StyleFor(const FormDef& def) {
    FrameStyle f{WS_CLIPCHILDREN, 0};
    switch (def.border) {
        case Border::None: f.style |= WS_POPUP; break;
        case Border::FixedSingle: f.style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; break;
        case Border::FixedDialog:
            f.style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
            f.exStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    if (!def.showInTaskbar)
        f.exStyle |= WS_EX_TOOLWINDOW;
    return f;
}

// A menu bar only when some menu is visible; hidden menus have nothing to show.
HMENU BuildMenuBar(std::span<const MenuDef> menus) {
    if (std::none_of(menus.begin(), menus.end(), [](const MenuDef& m) { return m.visible; }))
        return nullptr;
    HMENU bar = CreateMenu();
    UINT_PTR id = kFirstMenuId;
    for (const MenuDef& menu : menus) {
        if (!menu.visible)
            continue;
        std::wstring caption(menu.caption);
        if (menu.items.empty()) {
            AppendMenuW(bar, MF_STRING, id++, caption.c_str());
            continue;
        }
        HMENU popup = CreatePopupMenu();
        for (const MenuItemDef& item : menu.items)
            AppendMenuW(popup, MF_STRING, id++, std::wstring(item.caption).c_str());
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
    }
    return bar;
}

std::wstring ControlName(const ControlDef& c) {
    std::wstring name(c.name);
    if (c.index >= 0)
        name += L"(" + std::to_wstring(c.index) + L")";
    return name;
}

struct ChildClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

// The text's extent and the height of a line in `font`.
bool Measure(HDC dc, HFONT font, const std::wstring& text, SIZE& extent, LONG& lineHeight) {
    ScopedSelect select(dc, font);
    TEXTMETRICW metrics{};
    if (!GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent) || !GetTextMetricsW(dc, &metrics))
        return false;
    lineHeight = metrics.tmHeight;
    return true;
}

ChildClass ClassFor(const ControlDef& c) {
    switch (c.kind) {
        case ControlKind::Button:
            if (c.graphical)
                return {L"BUTTON", BS_OWNERDRAW, 0};
            return {L"BUTTON", DWORD(c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0};
        case ControlKind::TextBox:
            return {
                L"EDIT",
                DWORD(ES_LEFT | ES_AUTOHSCROLL | (c.passwordChar ? ES_PASSWORD : 0) | (c.readOnly ? ES_READONLY : 0)),
                WS_EX_CLIENTEDGE};
        case ControlKind::Label: return {L"STATIC", SS_LEFT, 0};
        case ControlKind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX, 0};
        case ControlKind::PictureBox: return {L"STATIC", SS_OWNERDRAW, 0};
        default: return {nullptr, 0, 0};  // drawn by the form, or no window at all
    }
}

}  // namespace

PixelRect FormWindow::ToPixels(const TwipRect& r) const {
    float tx = ui_.twipsPerPixelX, ty = ui_.twipsPerPixelY;
    return {int(std::lround(r.left / tx)), int(std::lround(r.top / ty)), int(std::lround(r.width / tx)),
            int(std::lround(r.height / ty))};
}

HWND FormWindow::CreateFrame() {
    FrameStyle f = StyleFor(def_);
    HMENU menu = BuildMenuBar(def_.menus);
    RECT r{0, 0, int(std::lround(def_.clientWidth / ui_.twipsPerPixelX)),
           int(std::lround(def_.clientHeight / ui_.twipsPerPixelY))};
    AdjustWindowRectEx(&r, f.style, menu != nullptr, f.exStyle);
    HWND hwnd = CreateWindowExW(f.exStyle, kFormClassName, std::wstring(def_.caption).c_str(), f.style, CW_USEDEFAULT,
                                CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, menu, ui_.instance, this);
    if (!hwnd) {
        if (menu)
            DestroyMenu(menu);
        return nullptr;
    }
    if (def_.hasIcon) {
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ui_.bigIcon));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ui_.smallIcon));
    }
    s_.nameAtom = GlobalAddAtomW(std::wstring(def_.name).c_str());
    SetPropW(hwnd, kFormProperty, reinterpret_cast<HANDLE>(UINT_PTR(s_.nameAtom)));
    return hwnd;
}

void FormWindow::CreateControls() {
    const auto& defs = def_.controls;
    s_.controls.resize(defs.size());
    for (size_t i = 0; i < defs.size(); ++i)
        s_.controls[i].rect = ToPixels(defs[i].rect);

    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].tabIndex >= 0)
            s_.tabOrder.push_back(int(i));
    std::stable_sort(s_.tabOrder.begin(), s_.tabOrder.end(),
                     [&](int a, int b) { return defs[size_t(a)].tabIndex < defs[size_t(b)].tabIndex; });

    // Each tab stop is preceded by the controls without a tab stop written just before it, so that a
    // label's access key ("(&S)") reaches the box the label names.
    std::vector<bool> made(defs.size(), false);
    for (int stop : s_.tabOrder) {
        int first = stop;
        while (first > 0 && defs[size_t(first - 1)].tabIndex < 0)
            --first;
        for (int i = first; i <= stop; ++i) {
            if (!made[size_t(i)])
                CreateControl(i);
            made[size_t(i)] = true;
        }
    }
    for (size_t i = 0; i < defs.size(); ++i)
        if (!made[i])
            CreateControl(int(i));
}

void FormWindow::CreateControl(int index) {
    const ControlDef& c = def_.controls[size_t(index)];
    ControlSlot& slot = s_.controls[size_t(index)];
    if (c.backColour && c.kind != ControlKind::Line)
        slot.backBrush.Reset(CreateSolidBrush(*c.backColour));

    ChildClass cls = ClassFor(c);
    if (!cls.className)
        return;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | cls.style;
    if (c.visible)
        style |= WS_VISIBLE;
    if (c.tabIndex >= 0)
        style |= WS_TABSTOP;
    const PixelRect& r = slot.rect;
    std::wstring caption(c.caption);
    if (c.kind == ControlKind::CheckBox && !CheckCaptionShows(caption, r.width))
        caption.clear();  // else its clipped remains, and a dotted focus frame around them, stand beside the box
    slot.hwnd =
        CreateWindowExW(cls.exStyle, cls.className, caption.c_str(), style, r.x, r.y, r.width, r.height, s_.hwnd,
                        reinterpret_cast<HMENU>(INT_PTR(kFirstControlId + index)), ui_.instance, nullptr);
    if (!slot.hwnd)
        return;
    SendMessageW(slot.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(ui_.font), FALSE);
    if (c.kind == ControlKind::Label)
        FitFont(slot, c.caption, r.width, r.height);
    if (c.kind == ControlKind::TextBox) {
        // A box's line is as tall as its font, so only the height has to fit, inside the sunken edge.
        RECT client{};
        GetClientRect(slot.hwnd, &client);
        FitFont(slot, L"", 0, client.bottom);
    }
    if (c.kind == ControlKind::TextBox && c.passwordChar)
        SendMessageW(slot.hwnd, EM_SETPASSWORDCHAR, c.passwordChar, 0);
    slot.nameAtom = GlobalAddAtomW(ControlName(c).c_str());
    SetPropW(slot.hwnd, kControlProperty, reinterpret_cast<HANDLE>(UINT_PTR(slot.nameAtom)));
}

// True when a check box as wide as `width` has room beside its box for at least the caption's first letter.
bool FormWindow::CheckCaptionShows(std::wstring_view caption, int width) const {
    if (caption.empty())
        return false;
    ScopedGetDC screen(nullptr);
    ScopedSelect select(screen.Get(), ui_.font);
    SIZE first{};
    if (!GetTextExtentPoint32W(screen.Get(), caption.data(), 1, &first))
        return true;
    return width - GetSystemMetrics(SM_CXMENUCHECK) >= first.cx;
}

// Labels and text boxes keep the sizes of their layout. Where the system's font runs larger than the one
// the layout was made with (Yu Gothic UI's lines are taller than MS UI Gothic's), the text is drawn smaller,
// down to a readable size, rather than losing its end or the feet of its letters. A width of 0 is no limit.
void FormWindow::FitFont(ControlSlot& slot, std::wstring_view text, int width, int height) {
    constexpr LONG kSmallestReadable = 12;  // a line's height in pixels
    std::wstring shown(text);
    std::erase(shown, L'&');  // access-key marks are not drawn
    ScopedGetDC screen(nullptr);
    LOGFONTW lf{};
    SIZE extent{};
    LONG lineHeight = 0;
    if (!GetObjectW(ui_.font, sizeof lf, &lf) || !Measure(screen.Get(), ui_.font, shown, extent, lineHeight))
        return;
    auto fits = [&] { return (width <= 0 || extent.cx <= width) && lineHeight <= height; };
    if (fits())
        return;
    // Sizes are asked for as a line's whole height (a positive lfHeight), the measure that has to fit. Widths
    // do not shrink exactly with it, so the estimate is measured and made smaller until it fits.
    LONG size = lineHeight;
    LONG fitted = std::min<LONG>(size, height);
    if (width > 0 && extent.cx > width)
        fitted = std::min(fitted, size * width / extent.cx);
    for (fitted = std::max(fitted, kSmallestReadable); fitted < size; --fitted) {
        lf.lfHeight = fitted;
        lf.lfWidth = 0;
        slot.fittedFont.Reset(CreateFontIndirectW(&lf));
        if (!slot.fittedFont || !Measure(screen.Get(), slot.fittedFont.Get(), shown, extent, lineHeight))
            return;
        if (fits() || fitted == kSmallestReadable)
            break;
    }
    if (slot.fittedFont)
        SendMessageW(slot.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(slot.fittedFont.Get()), FALSE);
}

int FormWindow::IndexOf(HWND child) const {
    if (!child || GetParent(child) != s_.hwnd)
        return -1;
    int i = GetDlgCtrlID(child) - kFirstControlId;
    return i >= 0 && size_t(i) < s_.controls.size() && s_.controls[size_t(i)].hwnd == child ? i : -1;
}

int FormWindow::IndexOfCommand(int id) const {
    int i = id - kFirstControlId;
    return i >= 0 && size_t(i) < s_.controls.size() ? i : -1;
}

}  // namespace platform::win
