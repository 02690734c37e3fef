// TCP connection to a host and port, as a Stream. Socket.cpp connects; Socket_posix.cpp and Socket_win.cpp hold
// what differs between the systems (SocketSystem.h) and the stream.
#pragma once

#include <memory>
#include <string>

#include "platform/nmail/Stream.h"

namespace nmail {

enum class ConnectFailure { None, NoNetwork, Resolve, Refused, TimedOut, NoThread };

// Races the addresses the host resolves to, in the lookup's order, 250 ms apart (Happy Eyeballs); the first to
// connect wins. All within the deadline, the lookup included.
std::unique_ptr<Stream> ConnectTcp(const std::string& host,
                                   const std::string& port,
                                   Deadline deadline,
                                   ConnectFailure& failure);

// Winsock start and end; elsewhere they do nothing and StartNetwork succeeds.
bool StartNetwork();
void StopNetwork();

}  // namespace nmail
