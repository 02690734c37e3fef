// Times a program's start: launches it and waits, polling every millisecond, until a visible top-level
// window of its process has the given caption; prints the milliseconds taken, then ends the program.
// Run under Wine by startup_time.py, so that Wine's own process start is measured the same way for
// Sorabune and for the empty window program.
//
//   startup_probe.exe PROGRAM CAPTION [WORKING-FOLDER]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD pid;
    const wchar_t* caption;
    bool found = false;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t text[256] = {};
    if (pid == search->pid && IsWindowVisible(hwnd) && GetWindowTextW(hwnd, text, 256) > 0 &&
        std::wstring(text) == search->caption) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: startup_probe PROGRAM CAPTION [WORKING-FOLDER]\n", stderr);
        return 2;
    }
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    auto started = std::chrono::steady_clock::now();
    if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, argc > 3 ? argv[3] : nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "could not start the program (%lu)\n", GetLastError());
        return 1;
    }
    Search search{pi.dwProcessId, argv[2]};
    bool exited = false;
    while (!search.found && !exited) {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        exited = !search.found && WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0;
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (exited) {
        std::fputs("the program ended before its window showed\n", stderr);
        return 1;
    }
    std::printf("%.1f\n", ms);
    return 0;
}
