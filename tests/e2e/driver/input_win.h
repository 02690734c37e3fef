// Real user input for the e2e driver: mouse and keyboard events injected with SendInput, so the
// program receives them through its ordinary message queue exactly as from the hardware.
#pragma once

#include <windows.h>

#include <string_view>

namespace sbdriver {

enum class MouseButton { Left, Right, Middle };

MouseButton parseButton(std::wstring_view name);  // "left", "right", "middle"; throws Failure
void moveMouse(POINT to);
void pressMouse(POINT at, MouseButton button, bool down);
void clickAt(POINT at, MouseButton button);
void dragMouse(POINT from, POINT to, int steps, MouseButton button);

// One key or chord such as "enter", "shift+tab", "alt+f4", "a"; throws Failure for unknown names.
void pressKeys(std::wstring_view chord);
void typeText(std::wstring_view text);

// SetForegroundWindow and wait until the window really is the foreground window.
bool bringToFront(HWND window, DWORD timeoutMs);

}  // namespace sbdriver
