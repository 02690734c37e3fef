// The wide profile functions behind the byte interface: keys and values are converted between the
// ANSI code page and UTF-16 here, exactly as the ANSI functions would convert them.
#include "platform/Profile_win.h"

#include <windows.h>

#include <string>

#include "platform/CodePage.h"

namespace platform {

std::string Win32Profile::ReadString(std::wstring_view path,
                                     std::string_view section,
                                     std::string_view key,
                                     std::string_view fallback) {
    std::wstring file(path);
    std::wstring sectionW = FromAnsi(section);
    std::wstring keyW = FromAnsi(key);
    std::wstring fallbackW = FromAnsi(fallback);
    // The function cuts a long value to the buffer without saying so: a result that fills the buffer may
    // have been cut, so grow and ask again.
    std::wstring buffer(1024, L'\0');
    for (;;) {
        DWORD n = GetPrivateProfileStringW(sectionW.c_str(), keyW.c_str(), fallbackW.c_str(), buffer.data(),
                                           DWORD(buffer.size()), file.c_str());
        if (n + 1 < buffer.size())
            return ToAnsi(std::wstring_view(buffer.data(), n));
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

int Win32Profile::ReadInt(std::wstring_view path, std::string_view section, std::string_view key, int fallback) {
    std::wstring file(path);
    return int(GetPrivateProfileIntW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), fallback, file.c_str()));
}

bool Win32Profile::WriteString(std::wstring_view path,
                               std::string_view section,
                               std::string_view key,
                               std::string_view value) {
    std::wstring file(path);
    return WritePrivateProfileStringW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), FromAnsi(value).c_str(),
                                      file.c_str()) != FALSE;
}

}  // namespace platform
