// The POP3 server setting as users write it by hand or type it: the blanks an editor or an input method
// leaves around it do not count, and a value that can never name a server is refused, with the value and
// the reason shown, before anything is sent.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The longest POP3 server setting taken; a longer one is refused rather than cut (a cut can change the port).
inline constexpr std::size_t kMaxPop3ServerChars = 100;

// Without ASCII blanks and full-width spaces (U+3000) at either end.
std::wstring_view TrimServerName(std::wstring_view value);
// The error box's text for a trimmed, non-empty value that cannot name a server; nullopt when it may.
std::optional<std::wstring> Pop3ServerRefusal(std::wstring_view value);
// The error box's text for a check without a server: where "quillo.ini" is read from.
std::wstring NoPop3ServerText(std::wstring_view workingDirectory);

}  // namespace settings
