// ANSI conversion through the system's own code page. The conversion calls take int lengths, so a text
// longer than any int converts piece by piece.
#include "platform/base/CodePage.h"

#include <windows.h>

#include "platform/base/CodePagePieces.h"

namespace platform {

std::string ToAnsi(std::wstring_view text) {
    std::string out;
    while (!text.empty()) {
        size_t piece = WidePieceLength(text);
        int units = int(piece);
        int n = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
        size_t start = out.size();
        out.resize(start + size_t(n > 0 ? n : 0));
        if (n > 0)
            WideCharToMultiByte(CP_ACP, 0, text.data(), units, out.data() + start, n, nullptr, nullptr);
        text.remove_prefix(piece);
    }
    return out;
}

std::wstring FromAnsi(std::string_view bytes) {
    std::wstring out;
    while (!bytes.empty()) {
        size_t piece = AnsiPieceLength(bytes);
        int units = int(piece);
        int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), units, nullptr, 0);
        size_t start = out.size();
        out.resize(start + size_t(n > 0 ? n : 0));
        if (n > 0)
            MultiByteToWideChar(CP_ACP, 0, bytes.data(), units, out.data() + start, n);
        bytes.remove_prefix(piece);
    }
    return out;
}

void SetAnsiCodePage(int) {}

int AnsiCodePage() {
    return int(GetACP());
}

}  // namespace platform
