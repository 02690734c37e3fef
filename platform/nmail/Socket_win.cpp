// TCP stream over Winsock. Sockets are non-blocking; select() enforces the deadlines.
#include "platform/nmail/Socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <utility>

#include "platform/nmail/HelperThread.h"

namespace nmail {
namespace {

class SocketHandle {
public:
    explicit SocketHandle(SOCKET s) : s_(s) {}
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    ~SocketHandle() {
        if (s_ != INVALID_SOCKET)
            closesocket(s_);
    }
    SOCKET get() const { return s_; }
    SOCKET release() { return std::exchange(s_, INVALID_SOCKET); }

private:
    SOCKET s_;
};

timeval TimeLeft(Deadline deadline) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    left = std::clamp<long long>(left, 0, 24LL * 3600 * 1000000);
    return timeval{long(left / 1000000), long(left % 1000000)};
}

enum class Wait { Read, Write, Connect };
enum class Ready { Yes, TimedOut, Failed };

// Waits until the socket is readable or writable. Only a connect attempt watches the error set, where a
// refused connection shows; while reading, urgent data would keep the socket in that set for good.
Ready WaitFor(SOCKET s, Wait what, Deadline deadline) {
    if (Clock::now() >= deadline)
        return Ready::TimedOut;
    fd_set set, failed;
    FD_ZERO(&set);
    FD_ZERO(&failed);
    FD_SET(s, &set);
    FD_SET(s, &failed);
    timeval left = TimeLeft(deadline);
    int r = what == Wait::Read    ? select(0, &set, nullptr, nullptr, &left)
            : what == Wait::Write ? select(0, nullptr, &set, nullptr, &left)
                                  : select(0, nullptr, &set, &failed, &left);
    if (r == SOCKET_ERROR)
        return Ready::Failed;
    return r == 0 ? Ready::TimedOut : Ready::Yes;
}

IoResult FromReady(Ready r) {
    return r == Ready::TimedOut ? IoResult::TimedOut : IoResult::Failed;
}

class SocketStream : public Stream {
public:
    explicit SocketStream(SOCKET s) : s_(s) {}

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        int want = int(std::min<size_t>(capacity, 1 << 30));
        for (;;) {
            int n = recv(s_.get(), buffer, want, 0);
            if (n > 0) {
                got = size_t(n);
                return IoResult::Ok;
            }
            if (n == 0)
                return IoResult::Closed;
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return IoResult::Failed;
            Ready ready = WaitFor(s_.get(), Wait::Read, deadline);
            if (ready != Ready::Yes)
                return FromReady(ready);
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        while (size > 0) {
            int n = send(s_.get(), data, int(std::min<size_t>(size, 1 << 30)), 0);
            if (n > 0) {
                data += n;
                size -= size_t(n);
                continue;
            }
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return IoResult::Failed;
            Ready ready = WaitFor(s_.get(), Wait::Write, deadline);
            if (ready != Ready::Yes)
                return FromReady(ready);
        }
        return IoResult::Ok;
    }

private:
    SocketHandle s_;
};

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

SOCKET ConnectOne(const addrinfo& ai, Deadline deadline, ConnectFailure& failure) {
    SocketHandle s(socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol));
    failure = ConnectFailure::Refused;
    if (s.get() == INVALID_SOCKET)
        return INVALID_SOCKET;
    u_long nonBlocking = 1;
    if (ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0)
        return INVALID_SOCKET;
    // Commands sent ahead go out at once instead of waiting for the acknowledgement of earlier ones.
    BOOL noDelay = TRUE;
    setsockopt(s.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (connect(s.get(), ai.ai_addr, int(ai.ai_addrlen)) == 0) {
        failure = ConnectFailure::None;
        return s.release();
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return INVALID_SOCKET;
    Ready ready = WaitFor(s.get(), Wait::Connect, deadline);
    if (ready != Ready::Yes) {
        failure = ready == Ready::TimedOut ? ConnectFailure::TimedOut : ConnectFailure::Refused;
        return INVALID_SOCKET;
    }
    int error = 0;
    int len = sizeof error;
    if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0 || error != 0)
        return INVALID_SOCKET;
    failure = ConnectFailure::None;
    return s.release();
}

bool gStarted = false;

}  // namespace

std::unique_ptr<Stream> ConnectTcp(const std::string& host,
                                   const std::string& port,
                                   Deadline deadline,
                                   ConnectFailure& failure) {
    if (!gStarted) {
        failure = ConnectFailure::NoNetwork;
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    // The lookup runs on a helper thread within the connect time. GetAddrInfoExW's own time-out works only
    // in its asynchronous form, and not every Winsock honours it or its cancel; a thread works everywhere.
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
        SOCKET s = ConnectOne(*ai, deadline, failure);
        if (s != INVALID_SOCKET)
            return std::make_unique<SocketStream>(s);
        if (failure == ConnectFailure::TimedOut)
            break;
    }
    return nullptr;
}

bool StartNetwork() {
    if (gStarted)
        return true;
    WSADATA data;
    gStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    return gStarted;
}

void StopNetwork() {
    if (gStarted)
        WSACleanup();
    gStarted = false;
}

}  // namespace nmail
