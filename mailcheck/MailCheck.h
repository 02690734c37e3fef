// The mail check: log in to the POP3 server, count and fetch every message (discarding it), report
// the count in the notice window, bring the mascot out when there is mail, and hang up the dial-up
// connections afterwards when the user asked for that.
#pragma once

#include <string>
#include <string_view>

namespace app {
class App;
}  // namespace app

namespace mailcheck {

void CheckMail(app::App& app);

// The text before the first NUL character, or the whole text when it has none.
std::wstring TrimAtNul(std::wstring_view text);

// Fetch buffers never exceed this, whatever size a server claims; the library discards the rest.
inline constexpr int kMaxFetchBuffer = 16 * 1024 * 1024;
// The check gives up on a mailbox whose server refuses this many messages one after another.
inline constexpr int kMaxRefusedInARow = 64;

}  // namespace mailcheck
