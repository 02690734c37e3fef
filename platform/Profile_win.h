// Private-profile files through kernel32's wide profile functions, so that paths holding characters
// outside the ANSI code page (the "★" of "★MailData") are found on any system. The files themselves
// stay ANSI text: the wide functions read and write a file without a byte-order mark in the ANSI code
// page, and keys and values cross this interface as bytes in that code page.
#pragma once

#include "platform/Profile.h"

namespace platform {

class Win32Profile final : public Profile {
public:
    std::string ReadString(std::wstring_view path,
                           std::string_view section,
                           std::string_view key,
                           std::string_view fallback) override;
    std::wstring ReadWideString(std::wstring_view path, std::string_view section, std::string_view key) override;
    int ReadInt(std::wstring_view path, std::string_view section, std::string_view key, int fallback) override;
    bool WriteString(std::wstring_view path,
                     std::string_view section,
                     std::string_view key,
                     std::string_view value) override;
    bool WriteStrings(std::wstring_view path,
                      std::string_view section,
                      std::initializer_list<ProfileEntry> entries) override;
};

}  // namespace platform
