// Scripted POP3 server: blocking sockets with short polls so the destructor can stop it promptly.
#include "FakePop3Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace nmail::testing {
namespace {

bool Readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

std::string FirstWord(const std::string& line) {
    return line.substr(0, line.find(' '));
}

}  // namespace

FakePop3Server::FakePop3Server(Reply greeting, bool ipv6) : ipv6_(ipv6), greeting_(std::move(greeting)) {
    replies_ = {{"USER", "+OK\r\n"},
                {"PASS", "+OK logged in\r\n"},
                {"APOP", "+OK logged in\r\n"},
                {"STAT", "+OK 0 0\r\n"},
                {"QUIT", Reply({"+OK bye\r\n"}, Reply::Then::Close)}};
    listener_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_storage addr{};
    socklen_t len;
    if (ipv6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
        a6->sin6_family = AF_INET6;
        a6->sin6_addr = in6addr_loopback;
        len = sizeof *a6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
        a4->sin_family = AF_INET;
        a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *a4;
    }
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listener_, 4) != 0)
        throw std::runtime_error("fake POP3 server cannot listen");
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    thread_ = std::thread([this] { Run(); });
}

FakePop3Server::~FakePop3Server() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

void FakePop3Server::On(const std::string& verb, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_.insert_or_assign(verb, std::move(reply));
}

std::string FakePop3Server::address() const {
    return (ipv6_ ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
}

std::vector<std::string> FakePop3Server::Received() {
    std::lock_guard lock(mutex_);
    return received_;
}

bool FakePop3Server::ReceivedVerb(const std::string& verb) {
    for (const std::string& line : Received()) {
        if (FirstWord(line) == verb)
            return true;
    }
    return false;
}

size_t FakePop3Server::MostWaiting() {
    std::lock_guard lock(mutex_);
    return mostWaiting_;
}

Reply FakePop3Server::ReplyFor(const std::string& line) {
    std::lock_guard lock(mutex_);
    received_.push_back(line);
    auto it = replies_.find(line);
    if (it == replies_.end())
        it = replies_.find(FirstWord(line));
    return it != replies_.end() ? it->second : Reply("-ERR unknown command\r\n");
}

bool FakePop3Server::Send(int client, const Reply& reply) {
    for (size_t i = 0; i < reply.chunks.size(); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(reply.gap);
        const std::string& chunk = reply.chunks[i];
        if (send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL) != ssize_t(chunk.size()))
            return false;
    }
    return reply.then == Reply::Then::Continue;
}

void FakePop3Server::Run() {
    while (!stop_) {
        if (!Readable(listener_, 20))
            continue;
        int client = accept(listener_, nullptr, nullptr);
        if (client < 0)
            continue;
        timeval limit{5, 0};  // A client that stops reading must not hang the test.
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        Serve(client);
        close(client);
    }
}

void FakePop3Server::Serve(int client) {
    bool answering = Send(client, greeting_);
    if (!answering && greeting_.then == Reply::Then::Close)
        return;
    std::string pending;
    while (!stop_) {
        if (!Readable(client, 20))
            continue;
        char buffer[4096];
        ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        pending.append(buffer, size_t(n));
        {
            std::lock_guard lock(mutex_);
            mostWaiting_ = std::max(mostWaiting_, size_t(std::count(pending.begin(), pending.end(), '\n')));
        }
        size_t lf;
        while ((lf = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            Reply reply = ReplyFor(line);
            if (!answering)
                continue;
            answering = Send(client, reply);
            if (!answering && reply.then == Reply::Then::Close)
                return;
        }
    }
}

int FreeLoopbackPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(s, reinterpret_cast<sockaddr*>(&addr), len);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return ntohs(addr.sin_port);
}

}  // namespace nmail::testing
