// Connecting by name, the same on every system: the lookup on a helper thread, then the addresses raced as
// Happy Eyeballs (RFC 8305) has it, so that a silent first address costs 250 ms, not the whole time.
#include "platform/nmail/Socket.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/nmail/HelperThread.h"
#include "platform/nmail/SocketSystem.h"

namespace nmail {
namespace {

// How long an attempt has to itself before the next address is tried beside it.
constexpr std::chrono::milliseconds kAttemptDelay{250};
// Attempts under way at once: select() on Windows watches at most 64 sockets.
constexpr size_t kMostPending = 32;

// The attempts under way; whichever are still here at the end are closed.
class Attempts {
public:
    std::vector<sys::Handle> sockets() const {
        std::vector<sys::Handle> handles;
        for (const sys::ScopedSocket& s : sockets_)
            handles.push_back(s.Get());
        return handles;
    }
    void Add(sys::Handle s) { sockets_.emplace_back(s); }
    sys::Handle Take(size_t index) {
        sys::Handle s = sockets_[index].Release();
        sockets_.erase(sockets_.begin() + long(index));
        return s;
    }

private:
    std::vector<sys::ScopedSocket> sockets_;
};

// Starts one address after another, each kAttemptDelay after the last unless that one failed first; the first
// to connect wins. TimedOut when any attempt was still under way at the deadline, else Refused.
std::unique_ptr<Stream> Race(const std::vector<sys::Address>& addresses, Deadline deadline, ConnectFailure& failure) {
    Attempts attempts;
    size_t next = 0;
    Deadline nextStart = Clock::now();
    for (;;) {
        const Deadline now = Clock::now();
        if (now >= deadline)
            break;
        bool startNow = next < addresses.size() && attempts.sockets().size() < kMostPending &&
                        (attempts.sockets().empty() || now >= nextStart);
        if (startNow) {
            sys::Handle s = sys::kNoSocket;
            sys::Started started = sys::StartConnect(addresses[next++], s);
            if (started == sys::Started::Connected)
                return sys::MakeStream(s);
            if (started == sys::Started::Pending)
                attempts.Add(s);
            nextStart = started == sys::Started::Pending ? now + kAttemptDelay : now;
            continue;
        }
        if (attempts.sockets().empty()) {
            failure = ConnectFailure::Refused;
            return nullptr;
        }
        const bool more = next < addresses.size() && attempts.sockets().size() < kMostPending;
        bool connected = false;
        int done = sys::WaitForConnect(attempts.sockets(), more ? std::min(nextStart, deadline) : deadline, connected);
        if (done < 0)
            continue;
        sys::Handle s = attempts.Take(size_t(done));
        if (connected)
            return sys::MakeStream(s);
        sys::Close(s);
        nextStart = Clock::now();  // a failure hands its turn on at once
    }
    failure =
        attempts.sockets().empty() && next == addresses.size() ? ConnectFailure::Refused : ConnectFailure::TimedOut;
    return nullptr;
}

}  // namespace

std::unique_ptr<Stream> ConnectTcp(const std::string& host,
                                   const std::string& port,
                                   Deadline deadline,
                                   ConnectFailure& failure) {
    if (!sys::NetworkStarted()) {
        failure = ConnectFailure::NoNetwork;
        return nullptr;
    }
    // The lookup takes no deadline of its own, so it runs on a helper thread within the connect time. (Winsock's
    // GetAddrInfoExW has a time-out only in its asynchronous form, and not every Winsock honours it or its
    // cancel; a thread works everywhere.)
    bool started = false;
    auto addresses = CallBefore<std::vector<sys::Address>>(
        deadline, [host, port] { return sys::LookUp(host, port); }, started);
    if (!addresses) {
        failure = started ? ConnectFailure::TimedOut : ConnectFailure::NoThread;
        return nullptr;
    }
    if (addresses->empty()) {
        failure = ConnectFailure::Resolve;
        return nullptr;
    }
    failure = ConnectFailure::None;
    return Race(*addresses, deadline, failure);
}

}  // namespace nmail
