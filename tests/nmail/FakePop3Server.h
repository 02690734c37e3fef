// A scripted POP3 server for tests: one thread on a loopback ephemeral port, one client at a time.
// Each command verb gets a canned reply (raw bytes, sent in chunks with pauses), and every command line
// the client sent is recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nmail::testing {

struct Reply {
    enum class Then { Continue, Close, GoSilent };

    Reply(const char* bytes) : chunks{bytes} {}
    Reply(std::string bytes) : chunks{std::move(bytes)} {}
    Reply(std::vector<std::string> parts,
          Then after = Then::Continue,
          std::chrono::milliseconds pause = std::chrono::milliseconds(20))
        : chunks(std::move(parts)), then(after), gap(pause) {}

    std::vector<std::string> chunks;  // Sent one after another with `gap` between them.
    Then then = Then::Continue;       // Close the connection, or stop answering, after sending.
    std::chrono::milliseconds gap{20};
};

class FakePop3Server {
public:
    explicit FakePop3Server(Reply greeting = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n", bool ipv6 = false);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    // The reply to commands whose first word is `verb` (as sent, e.g. "RETR"), or to one whole command line
    // ("RETR 2"), which wins over its verb.
    void On(const std::string& verb, Reply reply);

    int port() const { return port_; }
    std::string address() const;  // "127.0.0.1:port" or "[::1]:port"

    std::vector<std::string> Received();  // Command lines so far, without line ends.
    bool ReceivedVerb(const std::string& verb);
    // The most command lines that were waiting to be answered at one time: 1 while the client sends one
    // command at a time, more when it sends ahead.
    size_t MostWaiting();

private:
    void Run();
    void Serve(int client);
    Reply ReplyFor(const std::string& line);
    bool Send(int client, const Reply& reply);

    bool ipv6_;
    int listener_ = -1;
    int port_ = 0;
    Reply greeting_;
    std::mutex mutex_;
    std::map<std::string, Reply> replies_;
    std::vector<std::string> received_;
    size_t mostWaiting_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A loopback TCP port that nothing listens on at the moment.
int FreeLoopbackPort();

}  // namespace nmail::testing
