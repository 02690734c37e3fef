// Locating the program's forms, controls and message boxes, and describing them as JSON.
#include "finder_win.h"

#include <algorithm>

namespace sbdriver {
namespace {

std::wstring atomProperty(HWND window, const wchar_t* property) {
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(window, property)));
    if (atom == 0)
        return {};
    wchar_t name[256];
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return std::wstring(name, length);
}

BOOL CALLBACK collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

bool isCheckStyle(HWND window) {
    if (_wcsicmp(className(window).c_str(), L"Button") != 0)
        return false;
    switch (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return true;
        default: return false;
    }
}

HWND focusOfThread(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::string hexNumber(DWORD value) {
    char buffer[16];
    wsprintfA(buffer, "\"0x%08lx\"", value);
    return buffer;
}

std::string checkState(HWND window) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state))
        return "null";
    return std::to_string(state);
}

}  // namespace

std::wstring formName(HWND window) {
    return atomProperty(window, L"Sorabune.Form");
}
std::wstring controlName(HWND window) {
    return atomProperty(window, L"Sorabune.Control");
}

std::wstring className(HWND window) {
    wchar_t name[256];
    int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> programForms() {
    std::vector<HWND> forms;
    for (HWND window : topLevelWindows()) {
        if (!formName(window).empty())
            forms.push_back(window);
    }
    return forms;
}

HWND findForm(std::wstring_view name) {
    for (HWND form : programForms()) {
        if (formName(form) == name)
            return form;
    }
    throw Failure("no form " + toUtf8(name));
}

std::vector<HWND> formControls(HWND form) {
    std::vector<HWND> all, named;
    EnumChildWindows(form, collect, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        if (!controlName(window).empty())
            named.push_back(window);
    }
    return named;
}

HWND findControl(HWND form, std::wstring_view name) {
    for (HWND control : formControls(form)) {
        if (controlName(control) == name)
            return control;
    }
    throw Failure("no control " + toUtf8(name) + " in form " + toUtf8(formName(form)));
}

DWORD programPid() {
    // Remembered, so a message box that outlives every form (a run-time error report) is still found.
    static DWORD lastSeen = 0;
    for (HWND form : programForms()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(form, &pid);
        if (pid)
            return lastSeen = pid;
    }
    return lastSeen;
}

std::vector<HWND> messageBoxes() {
    std::vector<HWND> boxes;
    DWORD program = programPid();
    if (!program)
        return boxes;
    for (HWND window : topLevelWindows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == program && className(window) == L"#32770")
            boxes.push_back(window);
    }
    return boxes;
}

std::wstring controlText(HWND window, bool* hung) {
    if (hung)
        *hung = false;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        if (hung)
            *hung = true;
        return captionOf(window);
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             2000, &copied)) {
        if (hung)
            *hung = true;
        return captionOf(window);
    }
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::wstring captionOf(HWND window) {
    wchar_t text[1024];
    int length = InternalGetWindowText(window, text, 1024);
    return std::wstring(text, length > 0 ? length : 0);
}

RECT screenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT clientScreenRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT centreOf(const RECT& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::string rectJson(const RECT& rect) {
    return JsonObject()
        .number("x", rect.left)
        .number("y", rect.top)
        .number("w", rect.right - rect.left)
        .number("h", rect.bottom - rect.top)
        .str();
}

HWND formOf(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    return top && !formName(top).empty() ? top : nullptr;
}

HWND namedControl(HWND window) {
    for (HWND w = window; w && (GetWindowLongW(w, GWL_STYLE) & WS_CHILD); w = GetParent(w)) {
        if (!controlName(w).empty())
            return w;
    }
    return nullptr;
}

std::string describeWindow(HWND window) {
    if (!window)
        return "nothing";
    HWND form = formOf(window);
    HWND control = namedControl(window);
    if (form && control)
        return toUtf8(formName(form) + L"." + controlName(control));
    if (form && form == window)
        return toUtf8(formName(form));
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::wstring text = captionOf(window);
    std::string out = toUtf8(className(window));
    if (!text.empty())
        out += " '" + toUtf8(text) + "'";
    if (form)
        out += " in " + toUtf8(formName(form));
    return out + " (pid " + std::to_string(pid) + ")";
}

JsonObject formJson(HWND form) {
    DWORD pid = 0;
    GetWindowThreadProcessId(form, &pid);
    LONG style = GetWindowLongW(form, GWL_STYLE);
    LONG exStyle = GetWindowLongW(form, GWL_EXSTYLE);
    std::vector<HWND> all = topLevelWindows();
    auto z = std::find(all.begin(), all.end(), form) - all.begin();
    return JsonObject()
        .text("name", formName(form))
        .number("hwnd", reinterpret_cast<UINT_PTR>(form))
        .number("pid", pid)
        .flag("visible", IsWindowVisible(form))
        .flag("enabled", IsWindowEnabled(form))
        .flag("topmost", exStyle & WS_EX_TOPMOST)
        .flag("iconic", IsIconic(form))
        .flag("foreground", GetForegroundWindow() == form)
        .number("z", z)
        .raw("rect", rectJson(screenRect(form)))
        .raw("client", rectJson(clientScreenRect(form)))
        .text("caption", captionOf(form))
        .text("class", className(form))
        .raw("style", hexNumber(style))
        .raw("exstyle", hexNumber(exStyle));
}

// A text box with the focus holds a caret as tall as one line of its font (-1 without the caret): the font
// itself cannot be read from another process.
static long caretHeight(HWND control) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &info) || info.hwndCaret != control)
        return -1;
    return info.rcCaret.bottom - info.rcCaret.top;
}

static long clientHeight(HWND control) {
    RECT inside{};
    GetClientRect(control, &inside);
    return inside.bottom;
}

JsonObject controlJson(HWND control) {
    bool hung = false;
    std::wstring text = controlText(control, &hung);
    HWND form = formOf(control);
    RECT rect = screenRect(control);
    RECT client = form ? clientScreenRect(form) : RECT{};
    POINT centre = centreOf(rect);
    HWND focus = focusOfThread(control);
    JsonObject json;
    json.text("name", controlName(control))
        .text("form", form ? formName(form) : L"")
        .number("hwnd", reinterpret_cast<UINT_PTR>(control))
        .text("class", className(control))
        .number("id", GetDlgCtrlID(control))
        .text("text", text)
        .flag("hung", hung)
        .raw("check", isCheckStyle(control) ? checkState(control) : "null")
        .raw("rect", rectJson(rect))
        .flag("visible", IsWindowVisible(control))
        .flag("own_visible", GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)
        .flag("in_client", form && PtInRect(&client, centre))
        .flag("enabled", IsWindowEnabled(control))
        .flag("focus", focus && (focus == control || IsChild(control, focus)))
        .raw("style", hexNumber(GetWindowLongW(control, GWL_STYLE)));
    if (_wcsicmp(className(control).c_str(), L"Edit") == 0) {
        DWORD_PTR mask = 0;
        SendMessageTimeoutW(control, EM_GETPASSWORDCHAR, 0, 0, SMTO_ABORTIFHUNG, 2000, &mask);
        json.raw("password_char", mask ? quote(std::wstring(1, static_cast<wchar_t>(mask))) : "null");
        // The height of a line in the box's font, and the room inside the sunken edge: the line must fit, or
        // the feet of the letters are cut off.
        json.number("line_height", caretHeight(control)).number("client_height", clientHeight(control));
    }
    return json;
}

JsonObject messageBoxJson(HWND box) {
    std::vector<HWND> children;
    EnumChildWindows(box, collect, reinterpret_cast<LPARAM>(&children));
    std::wstring text;
    std::vector<std::string> buttons;
    for (HWND child : children) {
        std::wstring cls = className(child);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if (!(style & WS_VISIBLE))
            continue;
        if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            buttons.push_back(JsonObject()
                                  .text("text", controlText(child))
                                  .number("id", GetDlgCtrlID(child))
                                  .raw("rect", rectJson(screenRect(child)))
                                  .str());
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) != SS_ICON) {
            std::wstring part = controlText(child);
            if (!part.empty())
                text += text.empty() ? part : L"\n" + part;
        }
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    return JsonObject()
        .number("hwnd", reinterpret_cast<UINT_PTR>(box))
        .number("pid", pid)
        .text("title", captionOf(box))
        .text("text", text)
        .raw("buttons", jsonArray(buttons))
        .flag("visible", IsWindowVisible(box))
        .flag("foreground", GetForegroundWindow() == box)
        .raw("rect", rectJson(screenRect(box)));
}

}  // namespace sbdriver
