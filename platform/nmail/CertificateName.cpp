// Certificate name matching, portable so that both TLS backends apply the same rules and native tests
// reach them.
#include "platform/nmail/CertificateName.h"

#include <algorithm>
#include <cstdio>

namespace nmail {
namespace {

constexpr size_t kMostShownPerName = 64;  // So that the advice after the names still fits the box.

// Second-level labels of .jp that anyone may register under: the kinds of organisation and the 47
// prefectures. A wildcard straight over one would stand for every customer's name.
constexpr std::string_view kOpenUnderJp[] = {
    "ac",      "ad",       "co",        "ed",        "go",        "gr",       "lg",        "ne",
    "or",      "hokkaido", "aomori",    "iwate",     "miyagi",    "akita",    "yamagata",  "fukushima",
    "ibaraki", "tochigi",  "gunma",     "saitama",   "chiba",     "tokyo",    "kanagawa",  "niigata",
    "toyama",  "ishikawa", "fukui",     "yamanashi", "nagano",    "gifu",     "shizuoka",  "aichi",
    "mie",     "shiga",    "kyoto",     "osaka",     "hyogo",     "nara",     "wakayama",  "tottori",
    "shimane", "okayama",  "hiroshima", "yamaguchi", "tokushima", "kagawa",   "ehime",     "kochi",
    "fukuoka", "saga",     "nagasaki",  "kumamoto",  "oita",      "miyazaki", "kagoshima", "okinawa"};
// The same kind of label as most two-letter country domains use it.
constexpr std::string_view kOpenUnderCountry[] = {"co", "com", "net", "org", "ac", "or", "ne", "go", "gov", "edu"};

std::string_view WithoutFinalDot(std::string_view name) {
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    return name;
}

bool SameText(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

template <size_t N>
bool Listed(const std::string_view (&list)[N], std::string_view label) {
    return std::any_of(list, list + N, [&](std::string_view entry) { return SameText(entry, label); });
}

// Labels of printable ASCII separated by single dots, none empty. Raw bytes beyond ASCII would match
// as bytes here and as nothing in SChannel's wide text, so no backend takes them.
bool WellFormed(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '.' || name.find("..") != std::string_view::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
}

// "co.jp", "tokyo.jp", "com.au": two labels under which anyone may register.
bool OpenToAnyone(std::string_view suffix) {
    size_t dot = suffix.find('.');
    if (dot == std::string_view::npos || suffix.find('.', dot + 1) != std::string_view::npos)
        return false;
    std::string_view second = suffix.substr(0, dot);
    std::string_view top = suffix.substr(dot + 1);
    return (SameText(top, "jp") && Listed(kOpenUnderJp, second)) ||
           (top.size() == 2 && Listed(kOpenUnderCountry, second));
}

// Printable ASCII as it is, anything else (a certificate may hold any bytes) as '?'; a long name cut.
std::wstring Widen(std::string_view ascii) {
    std::wstring out;
    for (char c : ascii.substr(0, kMostShownPerName))
        out += c >= 0x20 && c < 0x7f ? wchar_t(c) : L'?';
    return ascii.size() > kMostShownPerName ? out + L"…" : out;
}

// The longest run of two or more zero groups, the first of equal ones, becomes "::" (RFC 5952).
std::string Ipv6Text(const unsigned char* b) {
    unsigned groups[8];
    for (int i = 0; i < 8; ++i)
        groups[i] = unsigned(b[2 * i] << 8 | b[2 * i + 1]);
    int runAt = -1, runLength = 1;
    for (int i = 0, j; i < 8; i = j + 1) {
        for (j = i; j < 8 && groups[j] == 0; ++j) {
        }
        if (j - i > runLength) {
            runAt = i;
            runLength = j - i;
        }
    }
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == runAt) {
            out += "::";
            i += runLength - 1;
            continue;
        }
        char group[8];
        std::snprintf(group, sizeof group, out.empty() || out.back() == ':' ? "%x" : ":%x", groups[i]);
        out += group;
    }
    return out;
}

std::wstring IpText(std::string_view bytes) {
    char text[48] = "";
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() == 4)
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return Widen(bytes.size() == 16 ? Ipv6Text(b) : std::string(text));
}

}  // namespace

bool DnsNameMatches(std::string_view entry, std::string_view host) {
    entry = WithoutFinalDot(entry);
    host = WithoutFinalDot(host);
    if (!WellFormed(entry) || !WellFormed(host))
        return false;
    if (!entry.starts_with("*.")) {
        return entry.find('*') == std::string_view::npos && SameText(entry, host);
    }
    std::string_view rest = entry.substr(2);
    // "*.test" would stand for every name under a top-level domain, "*.co.jp" for every company's.
    if (rest.find('*') != std::string_view::npos || rest.find('.') == std::string_view::npos || OpenToAnyone(rest))
        return false;
    size_t dot = host.find('.');
    return dot != std::string_view::npos && SameText(host.substr(dot + 1), rest);
}

std::string ServerNameIndication(const std::string& host) {
    if (!IpAddressBytes(host).empty())
        return {};
    return std::string(WithoutFinalDot(host));
}

bool NamesHost(const CertificateNames& names, std::string_view host, std::string_view ip) {
    if (!ip.empty())
        return std::find(names.ips.begin(), names.ips.end(), ip) != names.ips.end();
    return std::any_of(names.dns.begin(), names.dns.end(),
                       [&](const std::string& entry) { return DnsNameMatches(entry, host); });
}

TlsError CheckNames(const CertificateNames& names, const std::string& host) {
    if (names.unreadable)
        return {TlsFailure::NamesUnreadable, 0};
    if (NamesHost(names, host, IpAddressBytes(host)))
        return {};
    return {TlsFailure::NameMismatch, 0, NamesForReader(names)};
}

std::wstring NamesForReader(const CertificateNames& names, size_t most) {
    std::vector<std::wstring> all;
    for (const std::string& dns : names.dns)
        all.push_back(Widen(dns));
    for (const std::string& ip : names.ips)
        all.push_back(IpText(ip));
    std::wstring out;
    for (size_t i = 0; i < all.size() && i < most; ++i)
        out += (i ? L", " : L"") + all[i];
    if (all.size() > most)
        out += L", ...";
    return out;
}

}  // namespace nmail
