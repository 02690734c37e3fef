// Private-profile (.ini) files without Windows, read and written by the rules of kernel32's profile
// functions so that either side reads what the other wrote: section and key names match without
// regard to case or surrounding blanks, values lose their surrounding blanks and one pair of matching
// quotation marks, lines beginning with ';' are comments, the first matching section and key win.
// A write changes the key's line in place, or adds the key at the end of its section, or adds the
// section at the end of the file; every other line keeps its bytes. Lines it adds end in CR LF.
#pragma once

#include "platform/Profile.h"

namespace platform {

class HeadlessProfile final : public Profile {
public:
    std::string ReadString(std::wstring_view path,
                           std::string_view section,
                           std::string_view key,
                           std::string_view fallback) override;
    std::wstring ReadWideString(std::wstring_view path, std::string_view section, std::string_view key) override;
    // As GetPrivateProfileInt: the value's first 29 characters read as "[blanks][sign][0x|0o|0b]digits",
    // kept to the low 32 bits; an empty or missing value gives `fallback`, other text gives 0.
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
