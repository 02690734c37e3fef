// SendInput-based mouse and keyboard for the e2e driver.
#include "input_win.h"

#include <cwctype>
#include <string>
#include <vector>

#include "json.h"

namespace sbdriver {
namespace {

// Gives the program's thread time to see one event before the next, as a human hand would.
constexpr DWORD kEventGapMs = 15;

void send(std::vector<INPUT>& inputs) {
    if (inputs.empty())
        return;
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw Failure("SendInput sent " + std::to_string(sent) + " of " + std::to_string(inputs.size()) + " events");
}

INPUT mouseInput(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.mouseData = data;
    input.mi.dwFlags = flags;
    return input;
}

// Normalised absolute coordinates that map back exactly onto the pixel (x * 65536 / width, truncated).
LONG normalise(LONG value, int extent) {
    return static_cast<LONG>((value * 65536LL + extent - 1) / extent);
}

struct KeyName {
    const wchar_t* name;
    WORD vk;
    bool extended;
};

const KeyName kKeys[] = {
    {L"space", VK_SPACE, false},    {L"enter", VK_RETURN, false},  {L"return", VK_RETURN, false},
    {L"esc", VK_ESCAPE, false},     {L"escape", VK_ESCAPE, false}, {L"tab", VK_TAB, false},
    {L"backspace", VK_BACK, false}, {L"delete", VK_DELETE, true},  {L"del", VK_DELETE, true},
    {L"insert", VK_INSERT, true},   {L"home", VK_HOME, true},      {L"end", VK_END, true},
    {L"pageup", VK_PRIOR, true},    {L"pagedown", VK_NEXT, true},  {L"left", VK_LEFT, true},
    {L"right", VK_RIGHT, true},     {L"up", VK_UP, true},          {L"down", VK_DOWN, true},
    {L"shift", VK_SHIFT, false},    {L"ctrl", VK_CONTROL, false},  {L"control", VK_CONTROL, false},
    {L"alt", VK_MENU, false},       {L"menu", VK_MENU, false},     {L"win", VK_LWIN, true},
    {L"apps", VK_APPS, true},
};

KeyName lookupKey(std::wstring name) {
    for (auto& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    for (const KeyName& key : kKeys) {
        if (name == key.name)
            return key;
    }
    if (name.size() == 1 && ((name[0] >= L'a' && name[0] <= L'z') || (name[0] >= L'0' && name[0] <= L'9'))) {
        return {L"", static_cast<WORD>(std::towupper(name[0])), false};
    }
    if (name.size() >= 2 && name[0] == L'f') {
        int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 24)
            return {L"", static_cast<WORD>(VK_F1 + n - 1), false};
    }
    throw Failure("unknown key " + toUtf8(name));
}

INPUT keyInput(const KeyName& key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (key.extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

DWORD buttonFlag(MouseButton button, bool down) {
    switch (button) {
        case MouseButton::Right: return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
        case MouseButton::Middle: return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
        default: return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
}

// Wine turns pointer-crossing events of the X server into mouse moves of its own, so an X pointer left
// elsewhere can pull the cursor away between a press and its release. Every event therefore warps the X
// pointer (SetCursorPos) and carries its absolute position.
INPUT positionedInput(POINT at, DWORD flags) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    return mouseInput(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, normalise(at.x, width), normalise(at.y, height));
}

}  // namespace

MouseButton parseButton(std::wstring_view name) {
    if (name == L"left")
        return MouseButton::Left;
    if (name == L"right")
        return MouseButton::Right;
    if (name == L"middle")
        return MouseButton::Middle;
    throw Failure("unknown mouse button " + toUtf8(name));
}

void moveMouse(POINT to) {
    SetCursorPos(to.x, to.y);
    std::vector<INPUT> inputs{positionedInput(to, 0)};
    send(inputs);
    Sleep(kEventGapMs);
}

void pressMouse(POINT at, MouseButton button, bool down) {
    SetCursorPos(at.x, at.y);
    std::vector<INPUT> inputs{positionedInput(at, buttonFlag(button, down))};
    send(inputs);
    Sleep(kEventGapMs);
}

void clickAt(POINT at, MouseButton button) {
    moveMouse(at);
    pressMouse(at, button, true);
    pressMouse(at, button, false);
}

void dragMouse(POINT from, POINT to, int steps, MouseButton button) {
    if (steps < 1)
        steps = 1;
    moveMouse(from);
    pressMouse(from, button, true);
    Sleep(50);
    for (int i = 1; i <= steps; ++i) {
        moveMouse({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
        Sleep(20);
    }
    Sleep(50);
    pressMouse(to, button, false);
}

void pressKeys(std::wstring_view chord) {
    std::vector<KeyName> keys;
    size_t start = 0;
    while (start <= chord.size()) {
        size_t plus = chord.find(L'+', start);
        // A trailing "+" names the plus key itself only as a single character; keep names simple.
        if (plus == std::wstring_view::npos)
            plus = chord.size();
        keys.push_back(lookupKey(std::wstring(chord.substr(start, plus - start))));
        start = plus + 1;
    }
    for (const KeyName& key : keys) {
        std::vector<INPUT> inputs{keyInput(key, true)};
        send(inputs);
        Sleep(kEventGapMs);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        std::vector<INPUT> inputs{keyInput(*it, false)};
        send(inputs);
        Sleep(kEventGapMs);
    }
}

void typeText(std::wstring_view text) {
    for (wchar_t c : text) {
        std::vector<INPUT> inputs(2);
        for (int i = 0; i < 2; ++i) {
            inputs[i].type = INPUT_KEYBOARD;
            inputs[i].ki.wScan = c;
            inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
        }
        send(inputs);
        Sleep(kEventGapMs);
    }
}

bool bringToFront(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        if (GetForegroundWindow() == window)
            return true;
        SetForegroundWindow(window);
        Sleep(30);
    } while (GetTickCount() - start < timeoutMs);
    return GetForegroundWindow() == window;
}

}  // namespace sbdriver
