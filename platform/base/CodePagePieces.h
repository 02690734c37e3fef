// Where a long text may be cut so that it converts in pieces whose lengths fit the system's int-sized
// conversion calls: never inside a surrogate pair nor inside a double-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// Longest piece handed to one conversion call; well below INT_MAX in units and in bytes.
inline constexpr size_t kMaxConversionPiece = size_t(1) << 28;

// The length of the next piece of `text`, at most `limit`: one less when the cut would split a pair.
inline size_t WidePieceLength(std::wstring_view text, size_t limit = kMaxConversionPiece) {
    if (text.size() <= limit)
        return text.size();
    wchar_t last = text[limit - 1];
    return last >= 0xD800 && last <= 0xDBFF && limit > 1 ? limit - 1 : limit;
}

// The length of the next piece of `bytes`, at most `limit`. A byte below 0x40 is a character of its own in
// every ANSI code page, so the piece ends just after the last such byte; a text without one is cut at `limit`.
inline size_t AnsiPieceLength(std::string_view bytes, size_t limit = kMaxConversionPiece) {
    if (bytes.size() <= limit)
        return bytes.size();
    for (size_t end = limit; end > 0; --end) {
        if (static_cast<unsigned char>(bytes[end - 1]) < 0x40)
            return end;
    }
    return limit;
}

}  // namespace platform
