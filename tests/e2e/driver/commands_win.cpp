// Command handlers of the e2e driver. Each returns what it sees at this moment; waiting and
// retrying is the harness's job, so no command blocks longer than its own stated timeout.
#include "commands_win.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "finder_win.h"
#include "input_win.h"
#include "json.h"

namespace sbdriver {
namespace {

using Args = std::vector<std::wstring>;
using Handler = std::function<JsonObject(const Args&, std::wstring_view line)>;

constexpr DWORD kForegroundTimeoutMs = 3000;

const std::wstring& arg(const Args& args, size_t index, const char* what) {
    if (index >= args.size())
        throw Failure(std::string("missing argument: ") + what);
    return args[index];
}

long number(const Args& args, size_t index, const char* what) {
    const std::wstring& text = arg(args, index, what);
    wchar_t* end = nullptr;
    long value = wcstol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end)
        throw Failure(std::string("not a number for ") + what + ": " + toUtf8(text));
    return value;
}

POINT pointArg(const Args& args, size_t index) {
    return {number(args, index, "x"), number(args, index + 1, "y")};
}

MouseButton buttonArg(const Args& args, size_t index) {
    return index < args.size() ? parseButton(args[index]) : MouseButton::Left;
}

bool hasFlag(const Args& args, std::wstring_view flag) {
    for (const auto& a : args) {
        if (a == flag)
            return true;
    }
    return false;
}

JsonObject pointJson(POINT point) {
    return JsonObject().number("x", point.x).number("y", point.y);
}

JsonObject atPoint(POINT point) {
    HWND hit = WindowFromPoint(point);
    HWND form = hit ? formOf(hit) : nullptr;
    HWND control = hit ? namedControl(hit) : nullptr;
    return JsonObject()
        .number("x", point.x)
        .number("y", point.y)
        .number("hwnd", reinterpret_cast<UINT_PTR>(hit))
        .text("class", hit ? className(hit) : L"")
        .raw("form", form ? quote(formName(form)) : "null")
        .raw("control", control ? quote(controlName(control)) : "null")
        .utf8("what", describeWindow(hit));
}

void requireFront(HWND window, const std::string& what) {
    if (!bringToFront(window, kForegroundTimeoutMs)) {
        throw Failure(what + " did not come to the foreground; foreground is " + describeWindow(GetForegroundWindow()));
    }
}

// The click must land on the target as a user's would: inside the visible part of its window,
// on the screen, and not covered by another window.
void requireHittable(HWND target, POINT point, const std::string& what) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (point.x < 0 || point.y < 0 || point.x >= width || point.y >= height) {
        throw Failure("point (" + std::to_string(point.x) + "," + std::to_string(point.y) + ") of " + what +
                      " is off the screen");
    }
    HWND hit = WindowFromPoint(point);
    bool onTarget = hit == target || IsChild(target, hit);
    // A disabled child is skipped by hit testing; the press then reaches its parent, as for a user.
    bool disabledChild = !IsWindowEnabled(target) && hit == GetParent(target);
    if (!onTarget && !disabledChild) {
        throw Failure("point (" + std::to_string(point.x) + "," + std::to_string(point.y) + ") of " + what +
                      " is covered by " + describeWindow(hit));
    }
}

JsonObject cmdInfo(const Args&, std::wstring_view) {
    HDC screen = GetDC(nullptr);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT cursor{};
    GetCursorPos(&cursor);
    return JsonObject()
        .number("w", GetSystemMetrics(SM_CXSCREEN))
        .number("h", GetSystemMetrics(SM_CYSCREEN))
        .number("acp", GetACP())
        .number("oemcp", GetOEMCP())
        .number("dpi_x", dpiX)
        .number("dpi_y", dpiY)
        .raw("work", rectJson(work))
        .raw("cursor", pointJson(cursor).str())
        .number("driver_pid", GetCurrentProcessId());
}

JsonObject cmdForms(const Args&, std::wstring_view) {
    std::vector<std::string> forms;
    for (HWND form : programForms())
        forms.push_back(formJson(form).str());
    HWND front = GetForegroundWindow();
    return JsonObject().raw("forms", jsonArray(forms)).utf8("foreground", describeWindow(front));
}

JsonObject cmdForm(const Args& args, std::wstring_view) {
    return formJson(findForm(arg(args, 1, "form")));
}

JsonObject cmdControls(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    std::vector<std::string> controls;
    for (HWND control : formControls(form))
        controls.push_back(controlJson(control).str());
    return JsonObject().text("form", formName(form)).raw("controls", jsonArray(controls));
}

JsonObject cmdControl(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    return controlJson(findControl(form, arg(args, 2, "control")));
}

// click FORM CTRL [left|right|middle] [noactivate]
JsonObject cmdClick(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    HWND control = findControl(form, arg(args, 2, "control"));
    std::string what = toUtf8(formName(form) + L"." + controlName(control));
    if (!IsWindowVisible(form))
        throw Failure(toUtf8(formName(form)) + " is not visible");
    if (!IsWindowVisible(control))
        throw Failure(what + " is not visible");
    POINT centre = centreOf(screenRect(control));
    RECT client = clientScreenRect(form);
    if (!PtInRect(&client, centre)) {
        throw Failure("centre (" + std::to_string(centre.x) + "," + std::to_string(centre.y) + ") of " + what +
                      " lies outside the visible client area of " + toUtf8(formName(form)) + " " + rectJson(client));
    }
    MouseButton button = MouseButton::Left;
    if (args.size() > 3 && args[3] != L"noactivate")
        button = parseButton(args[3]);
    if (!hasFlag(args, L"noactivate"))
        requireFront(form, toUtf8(formName(form)));
    requireHittable(control, centre, what);
    clickAt(centre, button);
    return pointJson(centre);
}

JsonObject cmdClickAt(const Args& args, std::wstring_view) {
    POINT point = pointArg(args, 1);
    JsonObject seen = atPoint(point);
    clickAt(point, buttonArg(args, 3));
    return seen;
}

JsonObject cmdMouse(const Args& args, bool down) {
    POINT point = pointArg(args, 1);
    moveMouse(point);
    pressMouse(point, buttonArg(args, 3), down);
    return pointJson(point);
}

JsonObject cmdMouseMove(const Args& args, std::wstring_view) {
    POINT point = pointArg(args, 1);
    moveMouse(point);
    return pointJson(point);
}

// drag X1 Y1 X2 Y2 [STEPS] [left|right|middle]
JsonObject cmdDrag(const Args& args, std::wstring_view) {
    POINT from = pointArg(args, 1), to = pointArg(args, 3);
    int steps = args.size() > 5 ? number(args, 5, "steps") : 10;
    JsonObject seen = atPoint(from);
    dragMouse(from, to, steps, buttonArg(args, 6));
    return JsonObject().raw("start", seen.str()).raw("end", pointJson(to).str());
}

JsonObject cmdKey(const Args& args, std::wstring_view) {
    if (args.size() < 2)
        throw Failure("missing argument: key");
    for (size_t i = 1; i < args.size(); ++i)
        pressKeys(args[i]);
    return JsonObject().number("keys", static_cast<long long>(args.size() - 1));
}

JsonObject cmdType(const Args&, std::wstring_view line) {
    std::wstring text = restOfLine(line, 1);
    typeText(text);
    return JsonObject().number("chars", static_cast<long long>(text.size()));
}

JsonObject cmdClose(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    if (!PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0))
        throw Failure("PostMessage failed");
    return JsonObject().text("form", formName(form));
}

JsonObject cmdActivate(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    requireFront(form, toUtf8(formName(form)));
    return JsonObject().text("form", formName(form));
}

JsonObject cmdFocus(const Args&, std::wstring_view) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(0, &info);
    HWND control = info.hwndFocus ? namedControl(info.hwndFocus) : nullptr;
    HWND form = info.hwndActive ? formOf(info.hwndActive) : nullptr;
    return JsonObject()
        .raw("control", control ? quote(controlName(control)) : "null")
        .raw("form", form ? quote(formName(form)) : "null")
        .utf8("focus", describeWindow(info.hwndFocus))
        .utf8("active", describeWindow(info.hwndActive))
        .utf8("foreground", describeWindow(GetForegroundWindow()))
        .number("hwnd", reinterpret_cast<UINT_PTR>(info.hwndFocus));
}

JsonObject cmdRegion(const Args& args, std::wstring_view) {
    HWND form = findForm(arg(args, 1, "form"));
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    std::unique_ptr<void, decltype(&DeleteObject)> owner(region, DeleteObject);
    int type = GetWindowRgn(form, region);
    static const char* kTypes[] = {"none", "null", "simple", "complex"};
    JsonObject json;
    json.utf8("type", type >= 0 && type <= 3 ? kTypes[type] : "error").raw("window", rectJson(screenRect(form)));
    if (type == ERROR)
        return json.number("count", 0).raw("rects", "[]").null("bounds").number("area", 0);
    DWORD size = GetRegionData(region, 0, nullptr);
    std::vector<char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (!GetRegionData(region, size, data))
        throw Failure("GetRegionData failed");
    const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
    std::vector<std::string> list;
    long long area = 0;
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        const RECT& r = rects[i];
        list.push_back(std::string("[") + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right) + "," + std::to_string(r.bottom) + "]");
        area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    }
    const RECT& b = data->rdh.rcBound;
    return json.number("count", data->rdh.nCount)
        .raw("bounds", std::string("[") + std::to_string(b.left) + "," + std::to_string(b.top) + "," +
                           std::to_string(b.right) + "," + std::to_string(b.bottom) + "]")
        .number("area", area)
        .raw("rects", jsonArray(list));
}

JsonObject cmdMsgbox(const Args&, std::wstring_view) {
    std::vector<std::string> boxes;
    for (HWND box : messageBoxes())
        boxes.push_back(messageBoxJson(box).str());
    return JsonObject().raw("boxes", jsonArray(boxes));
}

// "はい(&Y)" and "&OK" match "はい" and "OK" as well as their full captions.
std::wstring plainCaption(std::wstring caption) {
    size_t open = caption.find(L"(&");
    if (open != std::wstring::npos && caption.size() == open + 4 && caption.back() == L')')
        caption.resize(open);
    std::wstring out;
    for (wchar_t c : caption) {
        if (c != L'&')
            out += c;
    }
    return out;
}

JsonObject cmdMsgboxPress(const Args&, std::wstring_view line) {
    std::wstring wanted = restOfLine(line, 1);
    for (HWND box : messageBoxes()) {
        if (!IsWindowVisible(box))
            continue;
        for (HWND button = GetWindow(box, GW_CHILD); button; button = GetWindow(button, GW_HWNDNEXT)) {
            if (_wcsicmp(className(button).c_str(), L"Button") != 0 || !IsWindowVisible(button))
                continue;
            std::wstring caption = controlText(button);
            if (caption != wanted && plainCaption(caption) != plainCaption(wanted))
                continue;
            std::wstring title = captionOf(box);
            requireFront(box, "message box");
            POINT centre = centreOf(screenRect(button));
            requireHittable(button, centre, "button " + toUtf8(caption));
            clickAt(centre, MouseButton::Left);
            return JsonObject().text("button", caption).text("title", title);
        }
    }
    throw Failure("no message box button " + toUtf8(wanted));
}

JsonObject cmdPid(const Args&, std::wstring_view) {
    DWORD pid = programForms().empty() ? 0 : programPid();
    if (!pid)
        throw Failure("no program window");
    return JsonObject().number("pid", pid);
}

JsonObject cmdWaitExit(const Args& args, std::wstring_view) {
    DWORD pid = number(args, 1, "pid");
    DWORD timeout = number(args, 2, "timeout");
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return JsonObject().flag("exited", true).null("code");
    std::unique_ptr<void, decltype(&CloseHandle)> owner(process, CloseHandle);
    bool exited = WaitForSingleObject(process, timeout) == WAIT_OBJECT_0;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    JsonObject json;
    json.flag("exited", exited);
    return exited ? json.number("code", code) : json.null("code");
}

// Holds a file open for a while, as a virus scanner or a sync client does: sharing reading and writing but
// not deletion, so that it cannot be replaced meanwhile. Returns at once; a thread lets go of it later.
JsonObject cmdHold(const Args& args, std::wstring_view) {
    const std::wstring& path = arg(args, 1, "path");
    DWORD ms = number(args, 2, "milliseconds");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Failure("cannot open " + toUtf8(path) + ": error " + std::to_string(GetLastError()));
    std::thread([file, ms] {
        Sleep(ms);
        CloseHandle(file);
    }).detach();
    return JsonObject().flag("held", true);
}

JsonObject cmdAt(const Args& args, std::wstring_view) {
    return atPoint(pointArg(args, 1));
}

JsonObject cmdPixel(const Args& args, std::wstring_view) {
    POINT point = pointArg(args, 1);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    if (colour == CLR_INVALID)
        throw Failure("GetPixel failed");
    return JsonObject().number("r", GetRValue(colour)).number("g", GetGValue(colour)).number("b", GetBValue(colour));
}

JsonObject cmdWindows(const Args&, std::wstring_view) {
    std::vector<std::string> list;
    for (HWND window : topLevelWindows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        list.push_back(JsonObject()
                           .number("hwnd", reinterpret_cast<UINT_PTR>(window))
                           .number("pid", pid)
                           .text("class", className(window))
                           .text("caption", captionOf(window))
                           .text("form", formName(window))
                           .flag("visible", IsWindowVisible(window))
                           .flag("topmost", GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST)
                           .raw("rect", rectJson(screenRect(window)))
                           .str());
    }
    return JsonObject().raw("windows", jsonArray(list));
}

const std::map<std::wstring, Handler>& handlers() {
    static const std::map<std::wstring, Handler> table{
        {L"info", cmdInfo},
        {L"screen", cmdInfo},
        {L"forms", cmdForms},
        {L"form", cmdForm},
        {L"controls", cmdControls},
        {L"control", cmdControl},
        {L"click", cmdClick},
        {L"click_at", cmdClickAt},
        {L"mouse_down", [](const Args& a, std::wstring_view) { return cmdMouse(a, true); }},
        {L"mouse_up", [](const Args& a, std::wstring_view) { return cmdMouse(a, false); }},
        {L"mouse_move", cmdMouseMove},
        {L"drag", cmdDrag},
        {L"key", cmdKey},
        {L"type", cmdType},
        {L"close", cmdClose},
        {L"activate", cmdActivate},
        {L"focus", cmdFocus},
        {L"region", cmdRegion},
        {L"msgbox", cmdMsgbox},
        {L"msgbox_press", cmdMsgboxPress},
        {L"pid", cmdPid},
        {L"wait_exit", cmdWaitExit},
        {L"hold", cmdHold},
        {L"at", cmdAt},
        {L"pixel", cmdPixel},
        {L"windows", cmdWindows},
    };
    return table;
}

std::string failure(const std::string& message) {
    return JsonObject().flag("ok", false).utf8("error", message).str();
}

}  // namespace

std::string runCommand(std::wstring_view line) {
    try {
        Args args = tokenize(line);
        if (args.empty())
            return failure("empty command");
        auto found = handlers().find(args[0]);
        if (found == handlers().end())
            return failure("unknown command " + toUtf8(args[0]));
        std::string body = found->second(args, line).str();
        return "{\"ok\":true" + (body.size() > 2 ? std::string(",") + body.substr(1) : std::string("}"));
    } catch (const Failure& error) {
        return failure(error.what());
    } catch (const std::exception& error) {
        return failure(std::string("internal error: ") + error.what());
    }
}

std::string readyLine() {
    std::string body = cmdInfo({}, L"").str();
    return "{\"ok\":true,\"ready\":true," + body.substr(1);
}

}  // namespace sbdriver
