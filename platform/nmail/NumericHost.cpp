// The system's own numeric parse of a host, on Winsock or POSIX: the one place outside the socket code
// that needs the system's address headers.
#include "platform/nmail/NumericHost.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace nmail {

std::string IpAddressBytes(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr)
        return {};
    std::string bytes;
    if (list->ai_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
        bytes.assign(reinterpret_cast<const char*>(&v4->sin_addr), 4);
    } else if (list->ai_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(list->ai_addr);
        bytes.assign(reinterpret_cast<const char*>(&v6->sin6_addr), 16);
    }
    freeaddrinfo(list);
    return bytes;
}

}  // namespace nmail
