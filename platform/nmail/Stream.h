// Byte stream under the POP3 session: a plain socket, or TLS over one (TlsStream.h).
#pragma once

#include <chrono>
#include <cstddef>

namespace nmail {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

enum class IoResult { Ok, Closed, TimedOut, Failed };

class Stream {
public:
    virtual ~Stream() = default;

    // Waits until at least one byte can be read, the peer closes, an error occurs or the deadline passes.
    // On Ok, `got` is between 1 and `capacity`.
    virtual IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) = 0;

    // Sends all of `data` or fails.
    virtual IoResult WriteAll(const char* data, size_t size, Deadline deadline) = 0;
};

}  // namespace nmail
