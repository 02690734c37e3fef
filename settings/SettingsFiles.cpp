// The settings files. In "quillo.ini" a line ends at CR, LF or CR LF (editors write each), keys are the
// first five characters with case, and a value is the next 100 characters as they are; the POP3 server's
// value loses the blanks around it and is kept whole, so that a longer one is refused, not cut. The two
// private-profile files go through the profile functions, one call per key (the password's two keys in one
// replacement of the file), with the path built afresh from the program folder each time.
#include "settings/SettingsFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "platform/Protect.h"
#include "platform/base/CodePage.h"
#include "platform/base/File.h"
#include "settings/ServerName.h"
#include "settings/StoredPassword.h"

namespace settings {

namespace {

constexpr std::wstring_view kServerFile = L"quillo.ini";
// Four short lines take a few hundred bytes; anything far larger is not a settings file.
constexpr std::size_t kMaxServerFileBytes = 1024 * 1024;
constexpr char kSection[] = "EXEINI";
constexpr std::size_t kValueChars = 100;
// The account value arrives through a 256-byte buffer that also holds the terminating zero.
constexpr std::size_t kAccountValueBytes = 255;
// The protected password has a key of its own, so no clear "NAME2" of an earlier file is ever taken for it.
constexpr char kSealedPasswordKey[] = "NAME2PROTECTED";

bool IsNumberBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n';
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Double-byte code pages the system may use as its ANSI code page, by their lead bytes.
bool IsLeadByte(unsigned char b, int codePage) {
    switch (codePage) {
        case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case 936:
        case 949:
        case 950: return b >= 0x81 && b <= 0xFE;
        default: return false;
    }
}

std::int16_t Saturate(double value) {
    constexpr double kMin = std::numeric_limits<std::int16_t>::min();
    constexpr double kMax = std::numeric_limits<std::int16_t>::max();
    return std::int16_t(value < kMin ? kMin : value > kMax ? kMax : value);
}

void ParseServerSettingsLine(std::wstring_view line, SettingsValues& values) {
    std::wstring_view head = line.substr(0, 5);
    std::wstring_view rest = line.substr(head.size());
    std::wstring_view value = rest.substr(0, kValueChars);
    if (head == L"SMTP=")
        values.SmtpServer = value;
    else if (head == L"POP3=")
        values.Pop3Server = TrimServerName(rest);  // uncut: the check refuses a longer one
    else if (head == L"MAIL=")
        values.MailAddress = value;
    else if (head == L"APOP=")
        values.UseApop = ParseApopValue(value);
}

}  // namespace

std::int16_t ParseApopValue(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsNumberBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    // Only ASCII digits and one point are taken, so the narrow copy is exact.
    std::string number;
    bool wholeNonZero = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        number += char(text[i]);
        wholeNonZero = wholeNonZero || text[i] != L'0';
    }
    if (i < text.size() && text[i] == L'.') {
        number += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i)
            number += char(text[i]);
    }
    if (number.find_first_of("0123456789") == std::string::npos)
        return 0;  // no number at the start
    double magnitude = 0;
    auto parsed = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (parsed.ec == std::errc::result_out_of_range)
        magnitude = wholeNonZero ? std::numeric_limits<double>::infinity() : 0.0;
    // The default rounding mode rounds halves to the even neighbour.
    double rounded = std::nearbyint(negative ? -magnitude : magnitude);
    return Saturate(rounded);
}

void ParseServerSettings(std::string_view bytes, SettingsValues& values) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    // CR and LF are never the second byte of a double-byte character, so the lines are split before they
    // are converted: a line that ends in a lone lead byte then cannot swallow the next one.
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
        ParseServerSettingsLine(platform::FromAnsi(bytes.substr(pos, end - pos)), values);
        pos = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++pos;
    }
}

std::wstring FormatServerSettings(const SettingsValues& values) {
    std::wstring text;
    text += L"SMTP=" + values.SmtpServer + L"\r\n";
    text += L"POP3=" + values.Pop3Server + L"\r\n";
    text += L"MAIL=" + values.MailAddress + L"\r\n";
    // A negative value keeps its sign, so that reading the file gives the same number back.
    text += L"APOP=" + std::to_wstring(values.UseApop) + L"\r\n";
    return text;
}

std::string_view CutAnsi(std::string_view bytes, std::size_t limit) {
    if (bytes.size() <= limit)
        return bytes;
    int codePage = platform::AnsiCodePage();
    size_t kept = 0;
    while (kept < limit) {
        size_t width = IsLeadByte(static_cast<unsigned char>(bytes[kept]), codePage) ? 2 : 1;
        if (kept + width > limit)
            break;
        kept += width;
    }
    return bytes.substr(0, kept);
}

SettingsFiles::SettingsFiles(platform::Profile& profile, std::wstring programFolder)
    : profile_(profile), programFolder_(std::move(programFolder)) {}

void SettingsFiles::LoadServerSettings(SettingsValues& values) const {
    // A "quillo.ini" that is there but cannot be read, or is over 1 MiB, counts as missing.
    if (!platform::IsOrdinaryFile(kServerFile))
        return;
    std::optional<std::string> bytes = platform::ReadWholeFile(kServerFile, kMaxServerFileBytes);
    if (bytes)
        ParseServerSettings(*bytes, values);
}

void SettingsFiles::SaveServerSettings(const SettingsValues& values) const {
    // A failed write leaves the earlier file as it was; there is no message for it.
    platform::ReplaceWholeFile(kServerFile, platform::ToAnsi(FormatServerSettings(values)));
}

std::wstring SettingsFiles::ReadAccountValue(std::string_view key) const {
    std::string bytes = profile_.ReadString(AccountFilePath(), kSection, key, "");
    std::wstring value = platform::FromAnsi(CutAnsi(bytes, kAccountValueBytes));
    platform::Wipe(bytes);  // it may be a clear password
    return value;
}

void SettingsFiles::WriteAccountValue(std::string_view key, std::wstring_view value) const {
    profile_.WriteString(AccountFilePath(), kSection, key, platform::ToAnsi(value));
}

std::wstring SettingsFiles::ReadAccountPassword() const {
    // This program writes "NAME2" only empty, so a clear value there is newer than any protected one: an
    // earlier version, or the user, put it there since. It is used, and stored protected at once, whole and
    // with every character the file holds; when the system will not protect it, it stays rather than the
    // password being lost.
    std::wstring clear = profile_.ReadWideString(AccountFilePath(), kSection, "NAME2");
    if (!clear.empty()) {
        std::string sealed = SealPassword(clear);
        if (!sealed.empty())
            StoreSealedPassword(sealed);
        return clear;
    }
    std::string sealed = profile_.ReadString(AccountFilePath(), kSection, kSealedPasswordKey, "");
    return sealed.empty() ? std::wstring() : UnsealPassword(sealed).value_or(std::wstring());
}

bool SettingsFiles::WriteAccountPassword(std::wstring_view password) const {
    // A password the system will not protect is not stored at all: the next check asks for it.
    std::string sealed = password.empty() ? std::string() : SealPassword(password);
    return StoreSealedPassword(sealed) && (password.empty() || !sealed.empty());
}

bool SettingsFiles::StoreSealedPassword(std::string_view sealed) const {
    return profile_.WriteStrings(AccountFilePath(), kSection, {{"NAME2", ""}, {kSealedPasswordKey, sealed}});
}

int SettingsFiles::ReadDisconnectFlag() const {
    return profile_.ReadInt(FlagFilePath(), kSection, "NUMBER", 0);
}

void SettingsFiles::WriteDisconnectFlag(std::wstring_view value) const {
    profile_.WriteString(FlagFilePath(), kSection, "NUMBER", platform::ToAnsi(value));
}

std::wstring SettingsFiles::AccountFilePath() const {
    return programFolder_ + L"\\★MailData\\iniIdPass.ini";
}

std::wstring SettingsFiles::FlagFilePath() const {
    return programFolder_ + L"\\★MailData\\ini.ini";
}

}  // namespace settings
