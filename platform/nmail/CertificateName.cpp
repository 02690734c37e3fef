// Certificate name matching, portable so that both TLS backends apply the same rules and native tests
// reach them.
#include "platform/nmail/CertificateName.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <cstdio>

namespace nmail {
namespace {

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

// Labels separated by single dots, none empty.
bool WellFormed(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '.' || name.find("..") != std::string_view::npos)
        return false;
    return name.find('\0') == std::string_view::npos;
}

// Printable ASCII as it is, anything else (a certificate may hold any bytes) as '?'.
std::wstring Widen(std::string_view ascii) {
    std::wstring out;
    for (char c : ascii)
        out += c >= 0x20 && c < 0x7f ? wchar_t(c) : L'?';
    return out;
}

std::wstring IpText(std::string_view bytes) {
    char text[48] = "";
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() == 4) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    } else if (bytes.size() == 16) {
        size_t at = 0;
        for (int i = 0; i < 16; i += 2)
            at += size_t(std::snprintf(text + at, sizeof text - at, i ? ":%x" : "%x", b[i] << 8 | b[i + 1]));
    }
    return Widen(text);
}

}  // namespace

std::string IpAddressBytes(const std::string& host) {
    unsigned char address[16];
    if (inet_pton(AF_INET, host.c_str(), address) == 1)
        return std::string(reinterpret_cast<char*>(address), 4);
    if (inet_pton(AF_INET6, host.c_str(), address) == 1)
        return std::string(reinterpret_cast<char*>(address), 16);
    return {};
}

bool DnsNameMatches(std::string_view entry, std::string_view host) {
    entry = WithoutFinalDot(entry);
    host = WithoutFinalDot(host);
    if (!WellFormed(entry) || !WellFormed(host))
        return false;
    if (!entry.starts_with("*.")) {
        return entry.find('*') == std::string_view::npos && SameText(entry, host);
    }
    std::string_view rest = entry.substr(2);
    // "*.test" would stand for every name under a top-level domain.
    if (rest.find('*') != std::string_view::npos || rest.find('.') == std::string_view::npos)
        return false;
    size_t dot = host.find('.');
    if (dot == std::string_view::npos)
        return false;
    std::string_view first = host.substr(0, dot);
    if (first.size() >= 4 && SameText(first.substr(0, 4), "xn--"))
        return false;
    return SameText(host.substr(dot + 1), rest);
}

bool NamesHost(const CertificateNames& names, std::string_view host, std::string_view ip) {
    if (!ip.empty())
        return std::find(names.ips.begin(), names.ips.end(), ip) != names.ips.end();
    return std::any_of(names.dns.begin(), names.dns.end(),
                       [&](const std::string& entry) { return DnsNameMatches(entry, host); });
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
