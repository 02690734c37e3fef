// Server setting parsing; the port is kept as decimal text for getaddrinfo.
#include "platform/nmail/ServerAddress.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace nmail {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool ValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5)
        return false;
    int value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool ValidHost(std::string_view host) {
    return !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '[' || c == ']' || c == '/';
    });
}

std::optional<ServerAddress> Make(std::string_view host, std::string_view port) {
    if (!ValidHost(host) || !ValidPort(port))
        return std::nullopt;
    return ServerAddress{std::string(host), std::string(port)};
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == (t >= 'A' && t <= 'Z' ? char(t - 'A' + 'a') : t);
           });
}

// Host and port without a scheme; `defaultPort` when none is given.
std::optional<ServerAddress> ParseHostPort(std::string_view text, std::string_view defaultPort) {
    if (text.empty())
        return std::nullopt;
    if (text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (rest.empty())
            return Make(host, defaultPort);
        if (rest.front() != ':')
            return std::nullopt;
        return Make(host, rest.substr(1));
    }
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return Make(text, defaultPort);
    if (text.find(':', colon + 1) != std::string_view::npos)
        return Make(text, defaultPort);  // An IPv6 address without brackets has no port.
    return Make(text.substr(0, colon), text.substr(colon + 1));
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
    text = TrimBlanks(text);
    for (auto [scheme, security, port] : {std::tuple{std::string_view("pop3s://"), Security::Tls, kDefaultPop3sPort},
                                          std::tuple{std::string_view("pop3://"), Security::Plain, kDefaultPop3Port}}) {
        if (!StartsWithNoCase(text, scheme))
            continue;
        std::string_view rest = text.substr(scheme.size());
        if (!rest.empty() && rest.back() == '/')
            rest.remove_suffix(1);
        auto address = ParseHostPort(rest, port);
        if (address)
            address->security = security;
        return address;
    }
    if (text.find("://") != std::string_view::npos)
        return std::nullopt;
    auto address = ParseHostPort(text, kDefaultPop3Port);
    if (address && std::stoi(address->port) == 995)
        address->security = Security::Tls;
    return address;
}

}  // namespace nmail
