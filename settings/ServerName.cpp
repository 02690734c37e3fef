// Checks on the POP3 server setting. Only what can never be a server is refused; whether a name resolves
// or a port answers is left to the connection, whose own errors say so.
#include "settings/ServerName.h"

#include <algorithm>

namespace settings {

namespace {

constexpr wchar_t kIdeographicSpace = 0x3000;

bool IsEndBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == kIdeographicSpace;
}

bool IsBlankOrControl(wchar_t c) {
    return c <= L' ' || c == 0x7F || c == kIdeographicSpace;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](wchar_t p, wchar_t t) {
               return p == (t >= L'A' && t <= L'Z' ? wchar_t(t - L'A' + L'a') : t);
           });
}

// Host and port, without the scheme and the one '/' the connection also ignores.
std::wstring_view HostAndPort(std::wstring_view value) {
    for (std::wstring_view scheme : {L"pop3://", L"pop3s://"}) {
        if (StartsWithNoCase(value, scheme)) {
            value.remove_prefix(scheme.size());
            if (!value.empty() && value.back() == L'/')
                value.remove_suffix(1);
            break;
        }
    }
    return value;
}

// An IPv6 address written without brackets, which then can have no port: hex groups (an IPv4 tail, a zone)
// with "::" or all eight groups.
bool IsBareIpv6(std::wstring_view text) {
    std::wstring_view address = text.substr(0, text.find(L'%'));
    bool hexOnly = std::all_of(address.begin(), address.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') || c == L':' ||
               c == L'.';
    });
    return hexOnly &&
           (address.find(L"::") != std::wstring_view::npos || std::count(address.begin(), address.end(), L':') == 7);
}

std::optional<std::wstring> Reason(std::wstring_view value) {
    if (value.size() > kMaxPop3ServerChars) {
        return L"POP3 サーバーの設定は " + std::to_wstring(kMaxPop3ServerChars) + L" 文字までです (この値は " +
               std::to_wstring(value.size()) + L" 文字あります)。";
    }
    if (value.find_first_of(L"\"'") != std::wstring_view::npos)
        return L"引用符 (\" や ') で囲まずに書いてください。";
    if (value.find(L'@') != std::wstring_view::npos)
        return L"「@」より前のユーザー名は書かず、サーバー名だけにしてください。ユーザー名は「ID/PASS」で設定します。";
    if (std::any_of(value.begin(), value.end(), IsBlankOrControl))
        return L"名前の途中に空白や制御文字は使えません。";
    std::wstring_view hostPort = HostAndPort(value);
    if (!hostPort.empty() && hostPort.front() != L'[' && std::count(hostPort.begin(), hostPort.end(), L':') > 1 &&
        !IsBareIpv6(hostPort)) {
        return L"「:」が 2 つ以上あります。ポート番号は 1 つだけ書けます。IPv6 アドレスは「[2001:db8::1]:995」のように"
               L" [ ] で囲んでください。";
    }
    return std::nullopt;
}

// The value as the box shows it: control characters as '?', and no longer than the limit and "…".
std::wstring Shown(std::wstring_view value) {
    std::wstring shown(value.substr(0, kMaxPop3ServerChars));
    std::replace_if(
        shown.begin(), shown.end(), [](wchar_t c) { return c < L' ' || c == 0x7F; }, L'?');
    return value.size() > kMaxPop3ServerChars ? shown + L"…" : shown;
}

}  // namespace

std::wstring_view TrimServerName(std::wstring_view value) {
    while (!value.empty() && IsEndBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && IsEndBlank(value.back()))
        value.remove_suffix(1);
    return value;
}

std::optional<std::wstring> Pop3ServerRefusal(std::wstring_view value) {
    std::optional<std::wstring> reason = Reason(value);
    if (!reason)
        return std::nullopt;
    return L"POP3 サーバーの設定「" + Shown(value) + L"」は、サーバー名として使えません。\n" + *reason;
}

std::wstring NoPop3ServerText(std::wstring_view workingDirectory) {
    return L"POP3 サーバーが設定されていないため、メールをチェックしませんでした。\n"
           L"設定ファイル quillo.ini は、作業フォルダー「" +
           std::wstring(workingDirectory) +
           L"」から読み込みます。\n"
           L"「POPサーバー」で設定するか、このフォルダーに quillo.ini を置いてください。";
}

}  // namespace settings
