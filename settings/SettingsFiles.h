// The three settings files and the operations that move values between them and the settings values:
// the server settings file "quillo.ini" in the current directory, and the auto-disconnect flag and
// account files, private-profile files under the program folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Profile.h"
#include "settings/SettingsValues.h"

namespace settings {

// Reads the "SMTP=", "POP3=", "MAIL=" and "APOP=" lines of the server settings file's bytes (ANSI code
// page, a UTF-8 byte-order mark skipped) into `values`; values without a line keep what they hold.
void ParseServerSettings(std::string_view bytes, SettingsValues& values);
// The number at the start of an "APOP=" value, rounded half to even and held to the 16-bit range.
std::int16_t ParseApopValue(std::wstring_view text);
// The four lines of the server settings file, each ended by CR LF.
std::wstring FormatServerSettings(const SettingsValues& values);
// At most `limit` bytes of ANSI text, without the first half of a double-byte character at the end.
std::string_view CutAnsi(std::string_view bytes, std::size_t limit);

class SettingsFiles {
public:
    SettingsFiles(platform::Profile& profile, std::wstring programFolder);

    // Sets `SmtpServer`, `Pop3Server`, `MailAddress` and `UseApop` from "quillo.ini" when it is there.
    void LoadServerSettings(SettingsValues& values) const;
    // Rewrites "quillo.ini" whole from the four server values.
    void SaveServerSettings(const SettingsValues& values) const;
    // "NAME", "NAME2" or "NAME3" of the account file; empty when missing. At most 255 bytes are kept.
    std::wstring ReadAccountValue(std::string_view key) const;
    void WriteAccountValue(std::string_view key, std::wstring_view value) const;
    // The stored password: a clear "NAME2" when there is one (an earlier version's), which is then stored
    // protected at once, whole; otherwise the protected value of "NAME2PROTECTED" (empty when it does not unprotect:
    // another user's, another PC's or an altered value, left as it is).
    std::wstring ReadAccountPassword() const;
    // Stores the password protected and empties "NAME2", in one replacement of the file. False when it was
    // not stored: the system would not protect it, or the file could not be replaced.
    bool WriteAccountPassword(std::wstring_view password) const;
    // "NUMBER" of the auto-disconnect flag file as an integer; 0 when missing.
    int ReadDisconnectFlag() const;
    void WriteDisconnectFlag(std::wstring_view value) const;

private:
    std::wstring AccountFilePath() const;
    bool StoreSealedPassword(std::string_view sealed) const;
    std::wstring FlagFilePath() const;

    platform::Profile& profile_;
    std::wstring programFolder_;
};

}  // namespace settings
