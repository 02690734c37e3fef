// JSON encoding of replies and tokenizing of command lines for the e2e driver.
#include "json.h"

#include <cstdint>

namespace sbdriver {
namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::wstring& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<wchar_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    }
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    throw Failure("bad \\u escape in string literal");
}

// Parses the JSON string literal starting at line[pos] == '"'; leaves pos after the closing quote.
std::wstring parseLiteral(std::wstring_view line, size_t& pos) {
    std::wstring out;
    for (++pos; pos < line.size(); ++pos) {
        wchar_t c = line[pos];
        if (c == L'"') {
            ++pos;
            return out;
        }
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            break;
        switch (line[pos]) {
            case L'n': out += L'\n'; break;
            case L't': out += L'\t'; break;
            case L'r': out += L'\r'; break;
            case L'b': out += L'\b'; break;
            case L'f': out += L'\f'; break;
            case L'u': {
                if (pos + 4 >= line.size())
                    throw Failure("short \\u escape in string literal");
                int v = 0;
                for (int i = 1; i <= 4; ++i)
                    v = v * 16 + hexValue(line[pos + i]);
                out += static_cast<wchar_t>(v);
                pos += 4;
                break;
            }
            default: out += line[pos]; break;
        }
    }
    throw Failure("unterminated string literal");
}

}  // namespace

std::string toUtf8(std::wstring_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<uint16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            char32_t low = static_cast<uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

std::wstring fromUtf8(std::string_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        bool valid = extra >= 0 && i + extra < text.size();
        for (int k = 1; valid && k <= extra; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        appendUtf16(out, c);
        i += extra + 1;
    }
    return out;
}

std::string quote(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    static const char* digits = "0123456789abcdef";
                    out += "\\u00";
                    out += digits[c >> 4];
                    out += digits[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

std::string quote(std::wstring_view text) {
    return quote(toUtf8(text));
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
    if (!body_.empty())
        body_ += ',';
    body_ += quote(key);
    body_ += ':';
    body_ += json;
    return *this;
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        out += items[i];
    }
    return out + "]";
}

std::vector<std::wstring> tokenize(std::wstring_view line) {
    std::vector<std::wstring> tokens;
    size_t pos = 0;
    while (true) {
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos >= line.size())
            return tokens;
        if (line[pos] == L'"') {
            tokens.push_back(parseLiteral(line, pos));
            continue;
        }
        size_t start = pos;
        while (pos < line.size() && !isBlank(line[pos]))
            ++pos;
        tokens.emplace_back(line.substr(start, pos - start));
    }
}

std::wstring restOfLine(std::wstring_view line, size_t count) {
    size_t pos = 0;
    for (size_t i = 0; i < count; ++i) {
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos < line.size() && line[pos] == L'"') {
            parseLiteral(line, pos);
        } else {
            while (pos < line.size() && !isBlank(line[pos]))
                ++pos;
        }
    }
    if (pos < line.size() && line[pos] == L' ')
        ++pos;
    std::wstring_view rest = line.substr(pos);
    size_t first = rest.find_first_not_of(L" \t");
    if (first != std::wstring_view::npos && rest[first] == L'"') {
        size_t p = first;
        return parseLiteral(rest, p);
    }
    while (!rest.empty() && (rest.back() == L'\r' || rest.back() == L'\n'))
        rest.remove_suffix(1);
    return std::wstring(rest);
}

}  // namespace sbdriver
