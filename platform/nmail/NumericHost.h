// Whether a server setting's host is an address, by the parse the connection itself goes through
// (getaddrinfo with AI_NUMERICHOST): "127.1", "0x7f.0.0.1", "2130706433" and "fe80::1%1" reach an
// address there, so they are addresses here too, never names.
#pragma once

#include <string>

namespace nmail {

// The address `host` stands for as 4 or 16 bytes (a scope is left out), or empty for a name.
std::string IpAddressBytes(const std::string& host);

}  // namespace nmail
