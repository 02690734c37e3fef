// What each system gives the shared connect code (Socket.cpp): the name lookup call itself, starting one
// non-blocking connection, waiting on several, and closing. Socket_posix.cpp and Socket_win.cpp implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/base/Scoped.h"
#include "platform/nmail/Stream.h"

namespace nmail::sys {

// A socket as the system numbers it: a file descriptor, or a Winsock SOCKET (whose INVALID_SOCKET is -1 too).
using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// One address of a lookup, as the system's socket address.
struct Address {
    int family = 0;
    size_t size = 0;
    alignas(16) unsigned char bytes[128] = {};
};

// False only where the network must be started first and was not (Winsock).
bool NetworkStarted();

// The system's lookup of `host` with a numeric `port`, in the order it sorts them; empty when it finds none.
// It blocks for as long as the system likes.
std::vector<Address> LookUp(const std::string& host, const std::string& port);

enum class Started { Connected, Pending, Failed };

// Opens a non-blocking TCP socket and starts connecting it; `socket` is set unless the result is Failed.
Started StartConnect(const Address& address, Handle& socket);

// Waits until one of `sockets` has finished connecting, well or not, and returns its index with `connected`
// set; or -1 once `until` has passed by this program's clock.
int WaitForConnect(std::span<const Handle> sockets, Deadline until, bool& connected);

void Close(Handle socket);

struct SocketTraits {
    using Handle = sys::Handle;
    static Handle Empty() { return kNoSocket; }
    static void Free(Handle socket) { Close(socket); }
};
using ScopedSocket = platform::Scoped<SocketTraits>;

// The stream over a connected socket, which it then owns.
std::unique_ptr<Stream> MakeStream(Handle socket);

}  // namespace nmail::sys
