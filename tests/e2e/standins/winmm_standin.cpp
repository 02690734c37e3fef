// A DLL named like a system DLL that the program loads on first use, as one planted in a Downloads folder
// would be: when any process loads it, it writes "planted-dll-loaded.txt" beside itself. It exports none of
// the real DLL's functions, so a program that took it would also fail to find them.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\')
        --n;
    lstrcpyW(path + n, L"planted-dll-loaded.txt");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    return TRUE;
}
