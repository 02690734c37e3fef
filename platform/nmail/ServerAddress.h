// Splits a server setting into host, port and how the connection is protected:
// "pop3s://host[:port]" (TLS from the first byte), "pop3://host[:port]" (plain, never STLS), or a bare
// "host", "host:port", "[IPv6]", "[IPv6]:port" or IPv6 (TLS on port 995, otherwise STLS when offered).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nmail {

inline constexpr std::string_view kDefaultPop3Port = "110";
inline constexpr std::string_view kDefaultPop3sPort = "995";

enum class Security {
    Tls,          // TLS from the first byte.
    StlsOffered,  // Plain, then STLS whenever the server's CAPA lists it.
    Plain,        // Plain only: for a server whose certificate cannot be verified.
};

struct ServerAddress {
    std::string host;
    std::string port;
    Security security = Security::StlsOffered;
};

// Blanks around the text are ignored, and so is one '/' after a scheme's host. Empty, unbalanced
// brackets, an unknown scheme or a port outside 1-65535 give nothing.
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

}  // namespace nmail
