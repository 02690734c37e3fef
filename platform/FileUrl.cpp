#include "platform/FileUrl.h"

namespace platform {

namespace {

bool KeptAsIs(wchar_t c) {
    if (c >= 0x80)
        return true;
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
        return true;
    return std::wstring_view(L"-._~!$&'()*+,;=:@/").find(c) != std::wstring_view::npos;
}

}  // namespace

std::wstring FileUrl(std::wstring_view windowsPath) {
    std::wstring url = L"file://";
    if (windowsPath.starts_with(L"\\\\"))
        windowsPath.remove_prefix(2);  // the server becomes the URL's host
    else
        url += L'/';
    constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    for (wchar_t c : windowsPath) {
        if (c == L'\\')
            c = L'/';
        if (c == L'/' && url.back() == L'/')
            continue;
        if (KeptAsIs(c)) {
            url += c;
        } else {
            url += L'%';
            url += kHex[(c >> 4) & 0xF];
            url += kHex[c & 0xF];
        }
    }
    return url;
}

}  // namespace platform
