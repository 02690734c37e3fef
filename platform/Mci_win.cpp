// The multimedia command-string interface: no return buffer, no notification window.
#include <windows.h>

#include <mmsystem.h>

#include <string>

#include "platform/Backends_win.h"

namespace platform {

std::uint32_t Win32Mci::SendString(std::wstring_view command) {
    return ::mciSendStringW(std::wstring(command).c_str(), nullptr, 0, nullptr);
}

}  // namespace platform
