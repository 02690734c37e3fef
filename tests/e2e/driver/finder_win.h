// Finding and describing the program's windows from the outside, the way a test sees them:
// top-level windows tagged with the property "Sorabune.Form", their controls tagged "Sorabune.Control",
// and the standard message-box dialogs of the same process.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "json.h"

namespace sbdriver {

std::wstring formName(HWND window);     // empty when the window is not a program form
std::wstring controlName(HWND window);  // empty when the window is not a named control
std::wstring className(HWND window);

// Every top-level window of the desktop, front to back.
std::vector<HWND> topLevelWindows();
std::vector<HWND> programForms();
HWND findForm(std::wstring_view name);  // throws Failure
std::vector<HWND> formControls(HWND form);
HWND findControl(HWND form, std::wstring_view name);  // throws Failure
DWORD programPid();                                   // of the forms, or of the last forms seen; 0 before any
std::vector<HWND> messageBoxes();                     // #32770 dialogs of the program process

// WM_GETTEXT with a timeout, so a program stuck in a blocking call does not stall the driver.
std::wstring controlText(HWND window, bool* hung = nullptr);
std::wstring captionOf(HWND window);

RECT screenRect(HWND window);
RECT clientScreenRect(HWND window);
POINT centreOf(const RECT& rect);
std::string rectJson(const RECT& rect);

// "Form2.Command2", "Form2", "#32770 '確認' (pid 32)": what a test would call the window.
std::string describeWindow(HWND window);
HWND formOf(HWND window);        // the program form (top-level ancestor) holding the window, or 0
HWND namedControl(HWND window);  // the window itself or its nearest ancestor that is a named control

JsonObject formJson(HWND form);
JsonObject controlJson(HWND control);
JsonObject messageBoxJson(HWND box);

}  // namespace sbdriver
