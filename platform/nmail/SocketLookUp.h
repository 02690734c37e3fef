// The system's name lookup, written once for Socket_posix.cpp and Socket_win.cpp: getaddrinfo is spelled
// alike on both. Each includes this after its own socket headers; a build has exactly one of them.
#pragma once

#include <cstring>

#include "platform/nmail/SocketSystem.h"

namespace nmail::sys {

std::vector<Address> LookUp(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::vector<Address> out;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0)
        return out;
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(Address::bytes))
            continue;
        Address& a = out.emplace_back();
        a.family = ai->ai_family;
        a.size = ai->ai_addrlen;
        std::memcpy(a.bytes, ai->ai_addr, ai->ai_addrlen);
    }
    freeaddrinfo(list);
    return out;
}

}  // namespace nmail::sys
