// The multimedia command-string interface: no return buffer, no notification window; and the short path
// the sound's open command names its file by.
#include <windows.h>

#include <mmsystem.h>

#include <string>

#include "platform/Backends_win.h"

namespace platform {

std::uint32_t Win32Mci::SendString(std::wstring_view command) {
    return ::mciSendStringW(std::wstring(command).c_str(), nullptr, 0, nullptr);
}

std::wstring Win32Mci::ShortPath(std::wstring_view path) {
    std::wstring longPath(path);
    DWORD size = ::GetShortPathNameW(longPath.c_str(), nullptr, 0);
    if (size == 0)
        return {};
    std::wstring shortPath(size, L'\0');
    DWORD length = ::GetShortPathNameW(longPath.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size)
        return {};
    shortPath.resize(length);
    return shortPath;
}

}  // namespace platform
