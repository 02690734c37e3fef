// Strict UTF-8 decoding, written once for native file names and the mail library's texts: no overlong
// forms, surrogates or values past U+10FFFF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The character that starts `bytes`, with the length of its sequence; length 0 when no whole, valid
// sequence starts there.
inline size_t Utf8Sequence(std::string_view bytes, char32_t& c) {
    if (bytes.empty())
        return 0;
    unsigned char lead = static_cast<unsigned char>(bytes[0]);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    if (length == 0 || length > bytes.size())
        return 0;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(bytes[k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return 0;
    return length;
}

// One character onto wide text: a surrogate pair where wchar_t has 16 bits (Windows).
inline void AppendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += wchar_t(0xD800 + (c >> 10));
            out += wchar_t(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += wchar_t(c);
}

// `bytes` as wide text, each byte that starts no valid sequence as `replacement`.
inline std::wstring FromUtf8(std::string_view bytes, wchar_t replacement) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        size_t length = Utf8Sequence(bytes.substr(i), c);
        if (length == 0)
            out += replacement;
        else
            AppendWide(out, c);
        i += length == 0 ? 1 : length;
    }
    return out;
}

}  // namespace platform
