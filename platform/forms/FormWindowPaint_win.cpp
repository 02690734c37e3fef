// Painting a form: its picture, then its images and lines in definition order (later ones on top),
// graphical buttons in their back colour, picture boxes, and what lies under transparent labels.
#include <string>

#include "platform/forms/FormWindow_win.h"

namespace platform::win {

namespace {

RECT ToRect(const PixelRect& r) {
    return {r.x, r.y, r.x + r.width, r.y + r.height};
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return text;
}

}  // namespace

void FormWindow::PaintClient(HDC dc) {
    RECT client;
    GetClientRect(s_.hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (s_.formPicture)
        ui_.pictures->Draw(dc, s_.formPicture, {0, 0, s_.formPicture->width, s_.formPicture->height});
    for (size_t i = 0; i < s_.controls.size(); ++i) {
        const ControlDef& c = def_.controls[i];
        const ControlSlot& slot = s_.controls[i];
        if (!c.visible)
            continue;
        if (c.kind == ControlKind::Image && slot.picture) {
            ui_.pictures->Draw(dc, slot.picture, ToRect(slot.rect));
        } else if (c.kind == ControlKind::Line) {
            ScopedPen pen(CreatePen(PS_SOLID, 1, c.foreColour.value_or(GetSysColor(COLOR_WINDOWTEXT))));
            ScopedSelect select(dc, pen.Get());
            MoveToEx(dc, slot.rect.x, slot.rect.y, nullptr);
            LineTo(dc, slot.rect.width, slot.rect.height);
        }
    }
}

LRESULT FormWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s_.hwnd, &ps);
    RECT client;
    GetClientRect(s_.hwnd, &client);
    if (client.right > 0 && client.bottom > 0) {
        // Drawn off screen first so that a growing image does not flicker over the background.
        ScopedBitmap buffer(CreateCompatibleBitmap(dc, client.right, client.bottom));
        ScopedMemDC mem(dc);
        mem.Select(buffer.Get());
        PaintClient(mem.Get());
        BitBlt(dc, 0, 0, client.right, client.bottom, mem.Get(), 0, 0, SRCCOPY);
    }
    EndPaint(s_.hwnd, &ps);
    return 0;
}

void FormWindow::PaintUnderControl(HDC dc, HWND child) {
    POINT origin{0, 0};
    MapWindowPoints(child, s_.hwnd, &origin, 1);
    POINT old;
    OffsetViewportOrgEx(dc, -origin.x, -origin.y, &old);
    PaintClient(dc);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void FormWindow::InvalidateClient() {
    InvalidateRect(s_.hwnd, nullptr, FALSE);
    // Transparent labels show what lies under them, so they follow the form's picture.
    for (size_t i = 0; i < s_.controls.size(); ++i)
        if (def_.controls[i].transparent && s_.controls[i].hwnd)
            InvalidateRect(s_.controls[i].hwnd, nullptr, TRUE);
}

void FormWindow::DrawGraphicalButton(const DRAWITEMSTRUCT& item, int index) {
    const ControlDef& c = def_.controls[size_t(index)];
    const ControlSlot& slot = s_.controls[size_t(index)];
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    bool pressed = item.itemState & ODS_SELECTED;
    bool focused = item.itemState & ODS_FOCUS;

    if (focused) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    FillRect(dc, &r, slot.backBrush ? slot.backBrush.Get() : GetSysColorBrush(COLOR_BTNFACE));
    if (pressed)
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    else
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);

    RECT textRect = r;
    if (pressed)
        OffsetRect(&textRect, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.foreColour.value_or(GetSysColor(COLOR_BTNTEXT)));
    ScopedSelect font(dc, ui_.font);
    std::wstring caption = WindowText(item.hwndItem);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
    DrawTextW(dc, caption.c_str(), int(caption.size()), &textRect, format);

    if (focused && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focusRect = r;
        InflateRect(&focusRect, -3, -3);
        DrawFocusRect(dc, &focusRect);
    }
}

void FormWindow::DrawPictureBox(const DRAWITEMSTRUCT& item, int index) {
    const ControlSlot& slot = s_.controls[size_t(index)];
    FillRect(item.hDC, &item.rcItem, slot.backBrush ? slot.backBrush.Get() : GetSysColorBrush(COLOR_BTNFACE));
    if (slot.picture)
        ui_.pictures->Draw(item.hDC, slot.picture, {0, 0, slot.picture->width, slot.picture->height});
}

LRESULT FormWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
    int index = IndexOf(item.hwndItem);
    if (index < 0)
        return FALSE;
    if (def_.controls[size_t(index)].kind == ControlKind::Button)
        DrawGraphicalButton(item, index);
    else if (def_.controls[size_t(index)].kind == ControlKind::PictureBox)
        DrawPictureBox(item, index);
    return TRUE;
}

LRESULT FormWindow::OnControlColour(UINT msg, WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND child = reinterpret_cast<HWND>(lParam);
    int index = IndexOf(child);
    if (index < 0)
        return DefWindowProcW(s_.hwnd, msg, wParam, lParam);
    const ControlDef& c = def_.controls[size_t(index)];
    const ControlSlot& slot = s_.controls[size_t(index)];
    // A read-only text box asks as a static control would, but keeps the look of a text box.
    bool textBox = msg == WM_CTLCOLOREDIT || c.kind == ControlKind::TextBox;
    if (!c.foreColour && !c.backColour && !c.transparent && !textBox)
        return DefWindowProcW(s_.hwnd, msg, wParam, lParam);

    if (c.foreColour)
        SetTextColor(dc, *c.foreColour);
    if (c.transparent) {
        PaintUnderControl(dc, child);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    if (slot.backBrush) {
        SetBkColor(dc, *c.backColour);
        return reinterpret_cast<LRESULT>(slot.backBrush.Get());
    }
    int system = textBox ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(system));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(system));
}

}  // namespace platform::win
