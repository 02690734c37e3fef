// TCP connection to a host and port, as a Stream. Socket_posix.cpp and Socket_win.cpp implement it.
#pragma once

#include <memory>
#include <string>

#include "platform/nmail/Stream.h"

namespace nmail {

enum class ConnectFailure { None, NoNetwork, Resolve, Refused, TimedOut, NoThread };

// Tries every address the host resolves to, in order, until one connects; all within the deadline.
std::unique_ptr<Stream> ConnectTcp(const std::string& host,
                                   const std::string& port,
                                   Deadline deadline,
                                   ConnectFailure& failure);

// Winsock start and end; elsewhere they do nothing and StartNetwork succeeds.
bool StartNetwork();
void StopNetwork();

}  // namespace nmail
