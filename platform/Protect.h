// Protection of small secrets at rest for the current user (Windows' data protection, Protect_win.cpp), and
// wiping of buffers that held them. Protect_headless.cpp is a reversible stand-in for the native tests that
// protects nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A blob that only the same user (on the same system) can turn back into `plain`, given the same `entropy`;
// nullopt when the system refuses.
std::optional<std::string> ProtectForUser(std::string_view plain, std::string_view entropy);
// The bytes given to ProtectForUser; nullopt for a blob of another user or system, or one that was altered.
std::optional<std::string> UnprotectForUser(std::string_view blob, std::string_view entropy);

// Overwrites the bytes in a way the compiler may not leave out.
void WipeBytes(void* data, std::size_t size);

template <typename Char>
void Wipe(std::basic_string<Char>& text) {
    WipeBytes(text.data(), text.size() * sizeof(Char));
    text.clear();
}

}  // namespace platform
