// One POP3 conversation (RFC 1939) over a Stream: greeting, CAPA, STLS, login, STAT, LIST, TOP, RETR and QUIT.
// When CAPA lists PIPELINING, the commands the mail check will ask next go out ahead (CommandPipe).
// The session never sends DELE. Any transport failure or protocol desync kills it for good: from then on
// every call fails at once. So does running out of kMessagesTime after login. The bounds and time limits below are
// the ones README.md's "How the mail check talks to the server" gives.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/nmail/CommandPipe.h"
#include "platform/nmail/LineReader.h"
#include "platform/nmail/MailText.h"
#include "platform/nmail/Stream.h"

namespace nmail {

class Pop3Session {
public:
    // Status lines longer than this (line end excluded) are refused.
    static constexpr size_t kMaxStatusLine = 8192;
    // A multi-line reply (TOP, RETR): twice LIST's size plus kReplyMargin (bare line ends, dot-stuffing), at most
    // kMaxReplyBytes, also without a size; a header (TOP n 0) at most kMaxHeaderBytes.
    static constexpr uint64_t kReplyMargin = 64 * 1024;
    static constexpr uint64_t kMaxReplyBytes = 128 * 1024 * 1024;
    static constexpr uint64_t kMaxHeaderBytes = 1024 * 1024;
    // A multi-line reply as a whole: the response time plus one second for every kMinReplyRate octets received.
    static constexpr uint64_t kMinReplyRate = 4096;
    // From login on, the messages must be read within this, so no server holds the check longer.
    static constexpr std::chrono::minutes kMessagesTime{5};

    // `now` reads the clock (tests give their own).
    Pop3Session(std::unique_ptr<Stream> stream,
                std::chrono::milliseconds responseTimeout,
                Deadline (*now)() = &Clock::now);

    void SetResponseTimeout(std::chrono::milliseconds timeout) { responseTimeout_ = timeout; }

    // Reads the server's greeting; false when it is not "+OK".
    bool Start();
    // CAPA, asked after the greeting. A server that answers -ERR simply lists nothing; false when the connection
    // failed, or when the list runs past 1,024 lines (16 times the 64 kept): the session is then dead.
    bool ReadCapabilities();
    // Whether CAPA listed `name` as the first word of a line (case-insensitive).
    bool HasCapability(std::string_view name) const;
    // STLS, then `handshake` on the stream once the server agreed and sent nothing more in clear, then CAPA
    // again: what was listed in clear is forgotten (RFC 2595), so PIPELINING counts only when listed under TLS.
    // Otherwise the session is dead; when `handshake` failed, the text of why is the caller's.
    bool StartTls(const std::function<bool()>& handshake);
    // USER and PASS, or APOP with the greeting's timestamp; then STAT. The message count, or -1.
    int Login(std::string_view user, std::string_view password, bool apop);
    // Octets of message `number` from LIST, or -1.
    int MessageSize(int number);
    // TOP number 0: only the header is filled in.
    bool FetchHeader(int number, MailBuffers& out);
    // RETR number: header and body.
    bool FetchMessage(int number, MailBuffers& out);
    // QUIT when the connection still works; the stream is closed either way.
    void Quit();

    // The last failure's text.
    const std::wstring& Error() const { return error_; }
    // True once the connection is gone: every later call fails at once without sending anything.
    bool Dead() const { return state_ == State::Dead; }

private:
    enum class State { Greeting, Authorization, Transaction, Dead };

    bool Usable();
    bool Fail(std::wstring_view text);
    int Refuse(std::wstring_view text);  // Fail for the calls that return a number.
    bool Kill(std::wstring_view reason);
    bool KillFor(LineResult failure);
    bool Send(const std::string& wire);
    // One response time from now, within the messages' time and the closing time; notes whether the messages'
    // time is the one that binds, so that a time-out is named after the deadline that ended it.
    Deadline ReplyDeadline();
    bool ReadStatus(std::string& reply);
    void KeepListing(int number, const std::string& reply);
    bool Command(std::string_view line, std::string& reply);
    // Sends `command` unless it went ahead already, drops the replies queued before its own, reads its status.
    bool Exchange(const PipeCommand& command, std::string& reply);
    bool DropReply();
    // Reads a multi-line reply to its end; a null writer drops it.
    bool ReadMultiline(MailWriter* writer, uint64_t byteLimit);
    uint64_t ReplyByteLimit(PipeCommand::Kind kind, int number) const;
    bool Fetch(int number, PipeCommand::Kind kind, std::wstring_view what, MailBuffers& out);
    bool CheckNumber(int number);

    std::unique_ptr<Stream> stream_;
    LineReader reader_;
    std::chrono::milliseconds responseTimeout_;
    Deadline (*now_)();
    State state_ = State::Greeting;
    CommandPipe pipe_;
    Deadline messagesDeadline_ = Deadline::max();  // Set by login: kMessagesTime on.
    Deadline closingDeadline_ = Deadline::max();   // Set by Quit, for everything read from then on.
    bool messagesTimeBinds_ = false;               // Whether the last ReplyDeadline was messagesDeadline_.
    std::string greeting_;
    std::vector<std::string> capabilities_;
    std::wstring error_;
};

// The APOP timestamp of a greeting, "<...@...>" of printable characters without blanks, or empty.
std::string_view ApopTimestamp(std::string_view greeting);

}  // namespace nmail
