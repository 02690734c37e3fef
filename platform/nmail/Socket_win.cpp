// TCP over Winsock: the system side of Socket.cpp and the stream. Sockets are non-blocking; select()
// enforces the deadlines. (WSAPoll is not used: before Windows 10 2004 it never reports a refused connect.)
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "platform/nmail/Socket.h"
#include "platform/nmail/SocketLookUp.h"
#include "platform/nmail/SocketSystem.h"

namespace nmail {
namespace {

static_assert(sys::kNoSocket == sys::Handle(INVALID_SOCKET));

bool gStarted = false;

// Rounded up to whole milliseconds, which is what Winsock's timer counts: less would end the wait early.
timeval TimeLeft(Deadline deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    left = std::clamp<long long>(left, 0, 24LL * 3600 * 1000);
    return timeval{long(left / 1000), long(left % 1000 * 1000)};
}

// The sets select() watches; it empties those it returns, so each wait fills them anew.
struct Sets {
    fd_set read, write, failed;
    bool watchRead = false, watchWrite = false, watchFailed = false;

    void Fill(std::span<const SOCKET> sockets) {
        FD_ZERO(&read);
        FD_ZERO(&write);
        FD_ZERO(&failed);
        for (SOCKET s : sockets) {
            FD_SET(s, &read);
            FD_SET(s, &write);
            FD_SET(s, &failed);
        }
    }
};

// select() until something is ready (the count), SOCKET_ERROR, or 0 once the deadline has passed by this
// program's clock: a time-out of select()'s own may come a little before it.
int SelectUntil(Sets& sets, std::span<const SOCKET> sockets, Deadline deadline) {
    for (;;) {
        if (Clock::now() >= deadline)
            return 0;
        sets.Fill(sockets);
        timeval left = TimeLeft(deadline);
        int r = select(0, sets.watchRead ? &sets.read : nullptr, sets.watchWrite ? &sets.write : nullptr,
                       sets.watchFailed ? &sets.failed : nullptr, &left);
        if (r != 0)
            return r;
    }
}

enum class Wait { Read, Write };

// Waits until the socket is readable or writable; false when the deadline passed first. The error set is
// not watched: while reading, urgent data would keep the socket in it for good. An error lets the next call
// report it.
bool WaitFor(SOCKET s, Wait what, Deadline deadline) {
    Sets sets;
    sets.watchRead = what == Wait::Read;
    sets.watchWrite = what == Wait::Write;
    return SelectUntil(sets, std::span(&s, 1), deadline) != 0;
}

class SocketStream : public Stream {
public:
    explicit SocketStream(SOCKET s) : owner_(s), s_(s) {}

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        int want = int(std::min<size_t>(capacity, 1 << 30));
        for (;;) {
            int n = recv(s_, buffer, want, 0);
            if (n > 0) {
                got = size_t(n);
                return IoResult::Ok;
            }
            if (n == 0)
                return IoResult::Closed;
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return IoResult::Failed;
            if (!WaitFor(s_, Wait::Read, deadline))
                return IoResult::TimedOut;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        while (size > 0) {
            int n = send(s_, data, int(std::min<size_t>(size, 1 << 30)), 0);
            if (n > 0) {
                data += n;
                size -= size_t(n);
                continue;
            }
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                return IoResult::Failed;
            if (!WaitFor(s_, Wait::Write, deadline))
                return IoResult::TimedOut;
        }
        return IoResult::Ok;
    }

private:
    sys::ScopedSocket owner_;
    SOCKET s_;  // What owner_ holds, as the system types it.
};

}  // namespace

namespace sys {

bool NetworkStarted() {
    return gStarted;
}

Started StartConnect(const Address& address, Handle& socket) {
    SOCKET s = ::socket(address.family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return Started::Failed;
    // Commands sent ahead go out at once instead of waiting for the acknowledgement of earlier ones.
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
        socket = Handle(s);
        if (connect(s, reinterpret_cast<const sockaddr*>(address.bytes), int(address.size)) == 0)
            return Started::Connected;
        if (WSAGetLastError() == WSAEWOULDBLOCK)
            return Started::Pending;
    }
    closesocket(s);
    return Started::Failed;
}

// A connect that succeeded shows in the write set, one that failed in the error set.
int WaitForConnect(std::span<const Handle> sockets, Deadline until, bool& connected) {
    std::vector<SOCKET> watched;
    for (Handle s : sockets)
        watched.push_back(SOCKET(s));
    Sets sets;
    sets.watchWrite = sets.watchFailed = true;
    int r = SelectUntil(sets, watched, until);
    connected = false;
    if (r == SOCKET_ERROR)
        return 0;  // select() itself failed: the oldest attempt is given up rather than waited on for ever
    for (size_t i = 0; r > 0 && i < watched.size(); ++i) {
        if (FD_ISSET(watched[i], &sets.failed))
            return int(i);
        if (FD_ISSET(watched[i], &sets.write)) {
            int error = 0;
            int len = sizeof error;
            connected =
                getsockopt(watched[i], SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) == 0 && error == 0;
            return int(i);
        }
    }
    return -1;
}

void Close(Handle socket) {
    closesocket(SOCKET(socket));
}

std::unique_ptr<Stream> MakeStream(Handle socket) {
    return std::make_unique<SocketStream>(SOCKET(socket));
}

}  // namespace sys

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
