// Whole-file reads and safe replacement, by wide path (File_win.cpp, File_posix.cpp).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// True when `path` names an ordinary file (not a folder or device).
bool IsOrdinaryFile(std::wstring_view path);
// The file's bytes; nullopt when it cannot be opened or read, or holds more than `maxBytes`.
std::optional<std::string> ReadWholeFile(std::wstring_view path, size_t maxBytes = size_t(-1));
// Writes the bytes beside `path` and then replaces it, so a failure never leaves a truncated file.
bool ReplaceWholeFile(std::wstring_view path, std::string_view bytes);

// The process's current directory, where files opened by a bare name are found; empty when unknown.
std::wstring WorkingDirectory();

#ifndef _WIN32
// A native file name's UTF-8 bytes as a wide path; bytes that are no UTF-8 become U+FFFD. (The C++ library's
// own conversion follows the C locale, which takes no byte above 0x7F.)
std::wstring WidePath(std::string_view nativePath);
#endif

}  // namespace platform
