// Which commands go out ahead of their replies (POP3 pipelining, RFC 2449), as README.md's "How the mail check
// talks to the server" describes it. It predicts the mail check's own order exactly (MailCheck.cpp, FetchOne): for
// each message n from 1 up, TOP n 0, then LIST n, then RETR n. LIST runs kListAhead messages ahead; RETR n goes out
// only once the reply to LIST n has been read and gave a size. The LIST replies read on the way are kept here, so a
// message's size is known before its header and body are read. Bookkeeping only: the session reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
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

// What the reply to LIST n said: the size, or -1 and the reply (its start) when it gave none.
struct Listing {
    int size = -1;
    std::string reply;
};

class CommandPipe {
public:
    // At most this many commands are sent and unanswered: the three of each of 64 messages.
    static constexpr size_t kWindowCommands = 3 * 64;
    // LIST runs this many messages ahead of TOP and RETR.
    static constexpr int kListAhead = 64;

    // Predicts the commands for messages 1 to `count`; 0 turns prediction off (one command at a time).
    void Predict(int count);

    // Plans the exchange for `wanted`: `dropBefore` is how many queued replies come before its own (read and
    // dropped, in order), and the result is what to send now: `wanted` itself when it was not sent ahead,
    // then predicted commands to refill the window. Everything planned is queued.
    std::string Plan(const PipeCommand& wanted, size_t& dropBefore);

    // The oldest command whose reply has not been read; the caller reads that reply and pops it.
    const PipeCommand& Front() const { return sent_.front(); }
    void PopFront() { sent_.pop_front(); }
    size_t size() const { return sent_.size(); }

    // The LIST replies read so far (the most recent few hundred), whether asked for or read on the way.
    void Listed(int number, Listing listing);
    const Listing* FindListing(int number) const;

private:
    void Queue(PipeCommand command, std::string& out);
    void Refill(std::string& out);

    std::deque<PipeCommand> sent_;
    std::map<int, Listing> listings_;
    int64_t count_ = 0;      // The predicted messages are 1 to count_.
    int64_t nextList_ = 1;   // The next message whose LIST goes ahead.
    int64_t nextFetch_ = 1;  // The message whose TOP or RETR comes next,
    bool retrNext_ = false;  // and which of the two.
};

}  // namespace nmail
