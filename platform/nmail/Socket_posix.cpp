// TCP stream over POSIX sockets. Sockets are non-blocking; poll() enforces the deadlines.
#include "platform/nmail/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/nmail/HelperThread.h"

namespace nmail {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // A peer that has gone must not kill the program with SIGPIPE.
#else
constexpr int kSendFlags = 0;
#endif

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

int MillisecondsLeft(Deadline deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

// Waits for `events` on `fd`; false when the deadline passed first.
bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        if (Clock::now() >= deadline)
            return false;
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, MillisecondsLeft(deadline));
        if (r > 0)
            return true;
        if (r == 0)
            return false;
        if (errno != EINTR)
            return true;  // Let the following call report the error.
    }
}

class SocketStream : public Stream {
public:
    explicit SocketStream(int fd) : fd_(fd) {}

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        for (;;) {
            ssize_t n = recv(fd_.get(), buffer, capacity, 0);
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
            if (!WaitFor(fd_.get(), POLLIN, deadline))
                return IoResult::TimedOut;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        while (size > 0) {
            ssize_t n = send(fd_.get(), data, size, kSendFlags);
            if (n > 0) {
                data += n;
                size -= size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return IoResult::Failed;
            if (!WaitFor(fd_.get(), POLLOUT, deadline))
                return IoResult::TimedOut;
        }
        return IoResult::Ok;
    }

private:
    Fd fd_;
};

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

// Connects one address; returns the socket or -1 with `failure` set.
int ConnectOne(const addrinfo& ai, Deadline deadline, ConnectFailure& failure) {
    Fd fd(socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol));
    failure = ConnectFailure::Refused;
    if (fd.get() < 0)
        return -1;
    fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
    if (fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) | O_NONBLOCK) < 0)
        return -1;
    // Commands sent ahead go out at once instead of waiting for the acknowledgement of earlier ones.
    int one = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd.get(), ai.ai_addr, ai.ai_addrlen) == 0) {
        failure = ConnectFailure::None;
        return fd.release();
    }
    if (errno != EINPROGRESS && errno != EINTR)
        return -1;
    if (!WaitFor(fd.get(), POLLOUT, deadline)) {
        failure = ConnectFailure::TimedOut;
        return -1;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) < 0 || error != 0)
        return -1;
    failure = ConnectFailure::None;
    return fd.release();
}

}  // namespace

std::unique_ptr<Stream> ConnectTcp(const std::string& host,
                                   const std::string& port,
                                   Deadline deadline,
                                   ConnectFailure& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    // The lookup takes no deadline of its own, so it runs on a helper thread within the connect time.
    bool started = false;
    auto owner = CallBefore<AddressList>(
        deadline,
        [host, port, hints] {
            addrinfo* list = nullptr;
            if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0)
                list = nullptr;
            return AddressList(list, freeaddrinfo);
        },
        started);
    if (!owner) {
        failure = started ? ConnectFailure::TimedOut : ConnectFailure::NoThread;
        return nullptr;
    }
    if (!*owner) {
        failure = ConnectFailure::Resolve;
        return nullptr;
    }
    failure = ConnectFailure::Refused;
    for (const addrinfo* ai = owner->get(); ai != nullptr; ai = ai->ai_next) {
        int fd = ConnectOne(*ai, deadline, failure);
        if (fd >= 0)
            return std::make_unique<SocketStream>(fd);
        if (failure == ConnectFailure::TimedOut)
            break;
    }
    return nullptr;
}

bool StartNetwork() {
    return true;
}

void StopNetwork() {}

}  // namespace nmail
