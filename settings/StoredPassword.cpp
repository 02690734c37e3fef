// Sealing and unsealing the stored password. The UTF-16 form keeps every character as typed, also those the
// ANSI code page cannot hold; buffers that held the password in clear are wiped once used.
#include "settings/StoredPassword.h"

#include <cstdint>

#include "platform/Protect.h"

namespace settings {

namespace {

// Ties the blobs to this use, so that no other program's protected data opens as a password of ours.
constexpr std::string_view kEntropy = "Sorabune iniIdPass.ini NAME2PROTECTED";
constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void PutUnit(std::string& out, std::uint32_t unit) {
    out += char(unit & 0xFF);
    out += char(unit >> 8);
}

// Little-endian UTF-16; the program's wide strings are UTF-16 on Windows and UTF-32 elsewhere.
std::string Utf16Bytes(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (wchar_t c : text) {
        auto code = std::uint32_t(c);
        if (code > 0xFFFF) {
            code -= 0x10000;
            PutUnit(out, 0xD800 | (code >> 10));
            PutUnit(out, 0xDC00 | (code & 0x3FF));
        } else {
            PutUnit(out, code);
        }
    }
    return out;
}

std::optional<std::wstring> FromUtf16Bytes(std::string_view bytes) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::wstring text;
    // Growing would free blocks that hold the start of the password, unwiped.
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t unit = std::uint8_t(bytes[i]) | std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        if constexpr (sizeof(wchar_t) < 4) {
            text += wchar_t(unit);
        } else if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            std::uint32_t low = std::uint8_t(bytes[i + 2]) | std::uint32_t(std::uint8_t(bytes[i + 3])) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                text += wchar_t(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
            text += wchar_t(unit);
        } else {
            text += wchar_t(unit);
        }
    }
    return text;
}

std::string ToBase64(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = std::uint32_t(std::uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            group |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            group |= std::uint8_t(bytes[i + 2]);
        out += kBase64[group >> 18];
        out += kBase64[(group >> 12) & 0x3F];
        out += i + 1 < bytes.size() ? kBase64[(group >> 6) & 0x3F] : '=';
        out += i + 2 < bytes.size() ? kBase64[group & 0x3F] : '=';
    }
    return out;
}

// Strict: whole groups of four, padding only at the end.
std::optional<std::string> FromBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        int padding = 0;
        for (size_t j = 0; j < 4; ++j) {
            char c = text[i + j];
            size_t value = kBase64.find(c);
            bool last = i + 4 == text.size();
            if (c == '=' && last && j >= 2 && (j == 3 || text[i + 3] == '=')) {
                ++padding;
                value = 0;
            } else if (value == std::string_view::npos || padding > 0) {
                return std::nullopt;
            }
            group = group << 6 | std::uint32_t(value);
        }
        out += char(group >> 16);
        if (padding < 2)
            out += char((group >> 8) & 0xFF);
        if (padding < 1)
            out += char(group & 0xFF);
    }
    return out;
}

}  // namespace

std::string SealPassword(std::wstring_view password) {
    std::string plain = Utf16Bytes(password);
    std::optional<std::string> blob = platform::ProtectForUser(plain, kEntropy);
    platform::Wipe(plain);
    return blob ? ToBase64(*blob) : std::string();
}

std::optional<std::wstring> UnsealPassword(std::string_view sealed) {
    std::optional<std::string> blob = FromBase64(sealed);
    if (!blob)
        return std::nullopt;
    std::optional<std::string> plain = platform::UnprotectForUser(*blob, kEntropy);
    if (!plain)
        return std::nullopt;
    std::optional<std::wstring> password = FromUtf16Bytes(*plain);
    platform::Wipe(*plain);
    return password;
}

}  // namespace settings
