// Private-profile files over plain files. The text is handled as bytes in the ANSI code page: line
// ends, blanks, '=' and quotation marks are single bytes that never occur inside a double-byte
// character, so values are found and changed without re-encoding. Only section headers (whose ']' can
// be the second byte of a double-byte character) and name comparisons look at decoded characters.
#include "platform/Profile_headless.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Protect.h"
#include "platform/base/CodePage.h"
#include "platform/base/File.h"

namespace platform {
namespace {

constexpr size_t kNone = size_t(-1);
// GetPrivateProfileInt reads the value into a 30-character buffer.
constexpr size_t kIntChars = 29;

// The profile functions' blanks: tab, the line-ending controls, ^Z and space.
template <typename Char>
bool IsBlank(Char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Case folding for the letters a Japanese code page can hold: ASCII, full-width Latin, Greek, Cyrillic.
wchar_t FoldCase(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0x0391 && c <= 0x03A9) ||
        (c >= 0x0410 && c <= 0x042F))
        return wchar_t(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return wchar_t(c + 0x50);
    return c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

std::wstring DecodedName(std::string_view bytes) {
    return FromAnsi(Trim(bytes));
}

// One line of the file: its content [begin, end) and where the next line starts (after CR LF, CR or LF).
struct Line {
    size_t begin;
    size_t end;
    size_t next;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({pos, text.size(), text.size()});
            break;
        }
        size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

enum class LineKind { Blank, Comment, Section, Entry };

struct LineInfo {
    LineKind kind = LineKind::Blank;
    std::wstring name;       // section or key name, trimmed
    std::string_view value;  // an entry's bytes after '=', trimmed
    bool hasValue = false;   // a line without '=' names a key that has no value
};

LineInfo Classify(std::string_view content) {
    LineInfo info;
    std::string_view s = Trim(content);
    if (s.empty())
        return info;
    if (s.front() == ';') {
        info.kind = LineKind::Comment;
        return info;
    }
    if (s.front() == '[') {
        std::wstring wide = FromAnsi(s);
        size_t close = wide.rfind(L']');
        if (close != std::wstring::npos && close > 0) {
            info.kind = LineKind::Section;
            info.name = std::wstring(Trim(std::wstring_view(wide).substr(1, close - 1)));
            return info;
        }
        // Without a closing bracket the line is read as a key, as Windows does.
    }
    info.kind = LineKind::Entry;
    size_t eq = s.find('=');
    if (eq == std::string_view::npos) {
        info.name = DecodedName(s);
        return info;
    }
    info.name = DecodedName(s.substr(0, eq));
    info.value = Trim(s.substr(eq + 1));
    info.hasValue = true;
    return info;
}

// Where a key is, or would go, in a file's text.
struct Location {
    std::vector<Line> lines;
    size_t section = kNone;    // line of the first matching section header
    size_t key = kNone;        // line of the first matching key in that section
    size_t lastInSection = 0;  // last non-blank line of that section: a new key goes after it
    LineInfo keyInfo;
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location loc;
    loc.lines = SplitLines(text);
    std::wstring wantSection = DecodedName(section);
    std::wstring wantKey = DecodedName(key);
    for (size_t i = 0; i < loc.lines.size(); ++i) {
        const Line& line = loc.lines[i];
        LineInfo info = Classify(text.substr(line.begin, line.end - line.begin));
        if (loc.section == kNone) {
            if (info.kind == LineKind::Section && SameName(info.name, wantSection))
                loc.section = loc.lastInSection = i;
            continue;
        }
        if (info.kind == LineKind::Section)
            break;
        if (info.kind == LineKind::Blank)
            continue;
        loc.lastInSection = i;
        if (info.kind == LineKind::Entry && SameName(info.name, wantKey)) {
            loc.key = i;
            loc.keyInfo = std::move(info);
            break;
        }
    }
    return loc;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of an existing key, without its quotation marks; nullopt when the file, section, key or
// its '=' is missing.
std::optional<std::string> FindValue(std::wstring_view path, std::string_view section, std::string_view key) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text)
        return std::nullopt;
    Location loc = Locate(*text, section, key);
    if (loc.key == kNone || !loc.keyInfo.hasValue)
        return std::nullopt;
    return std::string(StripQuotes(loc.keyInfo.value));
}

// RtlUnicodeStringToInteger with base 0: the low 32 bits of the number, no overflow check.
std::uint32_t ParseProfileInt(std::wstring_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] <= L' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-'))
        negative = s[i++] == L'-';
    std::uint32_t base = 10;
    if (i + 1 < s.size() && s[i] == L'0') {
        if (s[i + 1] == L'x')
            base = 16;
        else if (s[i + 1] == L'o')
            base = 8;
        else if (s[i + 1] == L'b')
            base = 2;
        if (base != 10)
            i += 2;
    }
    std::uint32_t total = 0;
    for (; i < s.size(); ++i) {
        wchar_t c = s[i];
        std::uint32_t digit = 99;
        if (c >= L'0' && c <= L'9')
            digit = std::uint32_t(c - L'0');
        else if (c >= L'A' && c <= L'Z')
            digit = std::uint32_t(c - L'A' + 10);
        else if (c >= L'a' && c <= L'z')
            digit = std::uint32_t(c - L'a' + 10);
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

bool EndsWithLineBreak(std::string_view text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

// `text` with the key set: its line rewritten, or a line added at the end of its section, or the section
// added at the end of the file.
std::string WithValue(std::string text, std::string_view section, std::string_view key, std::string_view value) {
    std::string entry = std::string(key) + "=" + std::string(value);
    Location loc = Locate(text, section, key);
    if (loc.key != kNone) {
        const Line& line = loc.lines[loc.key];
        std::string_view content = Trim(std::string_view(text).substr(line.begin, line.end - line.begin));
        std::string rewritten = std::string(Trim(content.substr(0, content.find('=')))) + "=" + std::string(value);
        text.replace(line.begin, line.end - line.begin, rewritten);
    } else if (loc.section != kNone) {
        const Line& last = loc.lines[loc.lastInSection];
        // The section's last line may be the file's last line, without a line end of its own.
        text.insert(last.next, (last.end == last.next ? "\r\n" : "") + entry + "\r\n");
    } else {
        if (!text.empty() && !EndsWithLineBreak(text))
            text += "\r\n";
        text += "[" + std::string(section) + "]\r\n" + entry + "\r\n";
    }
    return text;
}

}  // namespace

std::string HeadlessProfile::ReadString(std::wstring_view path,
                                        std::string_view section,
                                        std::string_view key,
                                        std::string_view fallback) {
    std::optional<std::string> value = FindValue(path, section, key);
    return value ? *value : std::string(fallback);
}

std::wstring HeadlessProfile::ReadWideString(std::wstring_view path, std::string_view section, std::string_view key) {
    // The files here are ANSI text only, so the wide value is the converted bytes.
    std::string bytes = ReadString(path, section, key, "");
    std::wstring value = FromAnsi(bytes);
    Wipe(bytes);
    return value;
}

int HeadlessProfile::ReadInt(std::wstring_view path, std::string_view section, std::string_view key, int fallback) {
    std::optional<std::string> value = FindValue(path, section, key);
    if (!value || value->empty())
        return fallback;
    std::wstring wide = FromAnsi(*value);
    if (wide.size() > kIntChars)
        wide.resize(kIntChars);
    return int(ParseProfileInt(wide));
}

bool HeadlessProfile::WriteString(std::wstring_view path,
                                  std::string_view section,
                                  std::string_view key,
                                  std::string_view value) {
    return WriteStrings(path, section, {{key, value}});
}

bool HeadlessProfile::WriteStrings(std::wstring_view path,
                                   std::string_view section,
                                   std::initializer_list<ProfileEntry> entries) {
    std::optional<std::string> existing = ReadWholeFile(path);
    if (!existing && IsOrdinaryFile(path))
        return false;  // there but unreadable: rewriting it would lose its other keys
    std::string text = existing ? std::move(*existing) : std::string();
    for (ProfileEntry entry : entries) {
        while (!entry.value.empty() && IsBlank(entry.value.front()))
            entry.value.remove_prefix(1);  // reading drops them anyway, and Windows does not write them
        text = WithValue(std::move(text), Trim(section), Trim(entry.key), entry.value);
    }
    return ReplaceWholeFile(path, text);
}

}  // namespace platform
