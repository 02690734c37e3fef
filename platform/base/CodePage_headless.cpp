// ANSI conversion for native builds: iconv with a code page chosen by the caller (932 by default).
// Characters the code page lacks become '?', as WideCharToMultiByte does.
#include "platform/base/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace platform {
namespace {

int gCodePage = 932;

std::string IconvName(int codePage) {
    if (codePage == 65001)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

// Converts in one go; on an unconvertible input unit, emits `replacement` and skips `unitSize` bytes.
std::string Convert(const char* from,
                    const char* to,
                    std::string_view in,
                    std::string_view replacement,
                    size_t unitSize) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return {};
    std::string out;
    char buf[1024];
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, size_t(dst - buf));
        if (r == size_t(-1) && errno != E2BIG) {
            out.append(replacement);
            size_t skip = std::min(unitSize, left);
            src += skip;
            left -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string ToAnsi(std::wstring_view text) {
    std::string_view raw(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return Convert("WCHAR_T", IconvName(gCodePage).c_str(), raw, "?", sizeof(wchar_t));
}

std::wstring FromAnsi(std::string_view bytes) {
    wchar_t q = L'?';
    std::string_view replacement(reinterpret_cast<const char*>(&q), sizeof q);
    std::string raw = Convert(IconvName(gCodePage).c_str(), "WCHAR_T", bytes, replacement, 1);
    return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
}

void SetAnsiCodePage(int codePage) {
    gCodePage = codePage;
}

int AnsiCodePage() {
    return gCodePage;
}

}  // namespace platform
