// The account password as the account file keeps it: the password's UTF-16 code units, protected for the
// current user with the program's own entropy (platform/Protect.h), written as base64 text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The text to store; empty when the system would not protect the password.
std::string SealPassword(std::wstring_view password);
// The password back; nullopt when the text is not base64 or does not unprotect (another user's or system's
// value, or an altered one).
std::optional<std::wstring> UnsealPassword(std::string_view sealed);

}  // namespace settings
