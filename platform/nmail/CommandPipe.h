// Which commands go out ahead of their replies (POP3 pipelining, RFC 2449). The mail check asks, for each
// message n from 1 up, TOP n 0, then LIST n, then RETR n; while prediction is on, the commands of the next
// messages are sent within a bounded window, and the socket holds their replies until they are asked for.
// Bookkeeping only: the session reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace nmail {

struct PipeCommand {
    enum class Kind { Other, Top, List, Retr };

    static PipeCommand Plain(std::string line);
    static PipeCommand ForMessage(Kind kind, int number);

    std::string line;  // Without the line end.
    Kind kind = Kind::Other;
    int number = 0;  // The message a Top, List or Retr is about.
    bool Multiline() const { return kind == Kind::Top || kind == Kind::Retr; }
};

class CommandPipe {
public:
    // At most this many commands (the three of each of 64 messages) and octets are sent and unanswered.
    static constexpr size_t kWindowCommands = 3 * 64;
    static constexpr size_t kWindowBytes = 4096;

    // Predicts the commands for messages 1 to `count`; 0 turns prediction off (one command at a time).
    void Predict(int count);

    // Plans the exchange for `wanted`: `dropBefore` is how many queued replies come before its own (read and
    // dropped, in order), and the result is what to send now: `wanted` itself when it was not sent ahead,
    // then predicted commands to refill the window. Everything planned is queued.
    std::string Plan(const PipeCommand& wanted, size_t& dropBefore);

    // The oldest command whose reply has not been read; the caller reads that reply and pops it.
    const PipeCommand& Front() const { return sent_.front(); }
    void PopFront();
    size_t size() const { return sent_.size(); }

private:
    void Queue(PipeCommand command, std::string& out);
    void Refill(std::string& out);

    std::deque<PipeCommand> sent_;
    size_t sentBytes_ = 0;
    int64_t next_ = 0;  // The next predicted command: 3 * (number - 1) + step.
    int64_t end_ = 0;   // One past the last predicted command.
};

}  // namespace nmail
