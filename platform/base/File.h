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

}  // namespace platform
