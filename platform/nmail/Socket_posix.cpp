// TCP over POSIX sockets: the system side of Socket.cpp and the stream. Sockets are non-blocking; poll()
// enforces the deadlines.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/nmail/Socket.h"
#include "platform/nmail/SocketLookUp.h"
#include "platform/nmail/SocketSystem.h"

namespace nmail {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A peer that has gone must not kill the program with SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

// Rounded up: a wait cut short of the deadline by poll()'s whole milliseconds would end it early.
int MillisecondsLeft(Deadline deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

// poll() until something is ready (the count), an error (-1), or 0 once the deadline has passed by this
// program's clock: a time-out of poll()'s own may come a little before it.
int PollUntil(pollfd* fds, size_t count, Deadline deadline) {
    for (;;) {
        if (Clock::now() >= deadline)
            return 0;
        int r = poll(fds, nfds_t(count), MillisecondsLeft(deadline));
        if (r > 0 || (r < 0 && errno != EINTR))
            return r;
    }
}

// Waits for `events` on `fd`; false when the deadline passed first. An error lets the next call report it.
bool WaitFor(int fd, short events, Deadline deadline) {
    pollfd p{fd, events, 0};
    return PollUntil(&p, 1, deadline) != 0;
}

class SocketStream : public Stream {
public:
    explicit SocketStream(int fd) : owner_(fd), fd_(fd) {}

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        for (;;) {
            ssize_t n = recv(fd_, buffer, capacity, 0);
            if (n > 0) {
                got = size_t(n);
                return IoResult::Ok;
            }
            if (n == 0)
                return IoResult::Closed;
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return IoResult::Failed;
            if (!WaitFor(fd_, POLLIN, deadline))
                return IoResult::TimedOut;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        while (size > 0) {
            ssize_t n = send(fd_, data, size, kSendFlags);
            if (n > 0) {
                data += n;
                size -= size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return IoResult::Failed;
            if (!WaitFor(fd_, POLLOUT, deadline))
                return IoResult::TimedOut;
        }
        return IoResult::Ok;
    }

private:
    sys::ScopedSocket owner_;
    int fd_;  // What owner_ holds, as the system types it.
};

}  // namespace

namespace sys {

bool NetworkStarted() {
    return true;
}

Started StartConnect(const Address& address, Handle& socket) {
    int fd = ::socket(address.family, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0)
        return Started::Failed;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    // Commands sent ahead go out at once instead of waiting for the acknowledgement of earlier ones.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0) {
        socket = fd;
        if (connect(fd, reinterpret_cast<const sockaddr*>(address.bytes), socklen_t(address.size)) == 0)
            return Started::Connected;
        if (errno == EINPROGRESS || errno == EINTR)
            return Started::Pending;
    }
    close(fd);
    return Started::Failed;
}

int WaitForConnect(std::span<const Handle> sockets, Deadline until, bool& connected) {
    std::vector<pollfd> fds;
    for (Handle s : sockets)
        fds.push_back(pollfd{int(s), POLLOUT, 0});
    int r = PollUntil(fds.data(), fds.size(), until);
    connected = false;
    if (r < 0)
        return 0;  // poll() itself failed: the oldest attempt is given up rather than waited on for ever
    auto done = std::find_if(fds.begin(), fds.end(), [](const pollfd& p) { return p.revents != 0; });
    if (r == 0 || done == fds.end())
        return -1;
    int error = 0;
    socklen_t len = sizeof error;
    connected = getsockopt(done->fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    return int(done - fds.begin());
}

void Close(Handle socket) {
    close(int(socket));
}

std::unique_ptr<Stream> MakeStream(Handle socket) {
    return std::make_unique<SocketStream>(int(socket));
}

}  // namespace sys

bool StartNetwork() {
    return true;
}

void StopNetwork() {}

}  // namespace nmail
