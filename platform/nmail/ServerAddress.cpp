// Server setting parsing; the port is kept as decimal text for getaddrinfo.
#include "platform/nmail/ServerAddress.h"

#include <algorithm>

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

}  // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
    text = TrimBlanks(text);
    if (text.empty())
        return std::nullopt;
    if (text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view host = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        if (rest.empty())
            return Make(host, kDefaultPop3Port);
        if (rest.front() != ':')
            return std::nullopt;
        return Make(host, rest.substr(1));
    }
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return Make(text, kDefaultPop3Port);
    if (text.find(':', colon + 1) != std::string_view::npos)
        return Make(text, kDefaultPop3Port);  // An IPv6 address without brackets has no port.
    return Make(text.substr(0, colon), text.substr(colon + 1));
}

}  // namespace nmail
