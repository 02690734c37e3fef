// The private-profile (.ini) functions. Paths are wide so that folders such as "★MailData" are found
// whatever the ANSI code page; keys and values are bytes in the ANSI code page, as in the files.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

struct ProfileEntry {
    std::string_view key;
    std::string_view value;
};

class Profile {
public:
    virtual ~Profile() = default;
    // The whole value, as GetPrivateProfileString would return it with a buffer large enough.
    // nullopt-like behaviour: a missing file, section or key gives `fallback`.
    virtual std::string ReadString(std::wstring_view path,
                                   std::string_view section,
                                   std::string_view key,
                                   std::string_view fallback) = 0;
    // The same value as wide text: a Unicode profile file keeps the characters the ANSI code page lacks.
    virtual std::wstring ReadWideString(std::wstring_view path, std::string_view section, std::string_view key) = 0;
    virtual int ReadInt(std::wstring_view path, std::string_view section, std::string_view key, int fallback) = 0;
    // Returns false when the file could not be written (the callers ignore it).
    virtual bool WriteString(std::wstring_view path,
                             std::string_view section,
                             std::string_view key,
                             std::string_view value) = 0;
    // Several keys of one section in one replacement of the file: it then holds either all the new values
    // or, when the write failed, its earlier bytes. Returns false on failure.
    virtual bool WriteStrings(std::wstring_view path,
                              std::string_view section,
                              std::initializer_list<ProfileEntry> entries) = 0;
};

}  // namespace platform
