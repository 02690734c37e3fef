// Splits a server setting into host and port: "host", "host:port", "[IPv6]", "[IPv6]:port" or a bare IPv6.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nmail {

inline constexpr std::string_view kDefaultPop3Port = "110";

struct ServerAddress {
    std::string host;
    std::string port;
};

// Blanks around the text are ignored. Empty, unbalanced brackets or a port outside 1-65535 give nothing.
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

}  // namespace nmail
