// POP3 conversation: every command waits for its status line; multi-line replies are read to their end
// (dot-unstuffed) even when the caller's buffers are full, so the next command finds the stream in step.
#include "platform/nmail/Pop3Session.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>

#include "platform/nmail/Md5.h"
#include "platform/nmail/Messages.h"

namespace nmail {
namespace {

bool IsOk(std::string_view reply) {
    return reply.substr(0, 3) == "+OK" && (reply.size() == 3 || reply[3] == ' ');
}

bool IsErr(std::string_view reply) {
    return reply.substr(0, 4) == "-ERR" && (reply.size() == 4 || reply[4] == ' ');
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The decimal number at the start of `s` (after blanks), if it fits an int.
std::optional<int> LeadingNumber(std::string_view& s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    long long value = 0;
    size_t digits = 0;
    while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') {
        value = value * 10 + (s[digits] - '0');
        if (value > INT_MAX)
            return std::nullopt;
        ++digits;
    }
    if (digits == 0 || (digits < s.size() && s[digits] != ' '))
        return std::nullopt;
    s.remove_prefix(digits);
    return int(value);
}

// The size in a reply to LIST `number`: "+OK number size".
std::optional<int> ListedSize(std::string_view reply, int number) {
    std::string_view rest = reply.substr(3);
    std::optional<int> listed = IsOk(reply) ? LeadingNumber(rest) : std::nullopt;
    return listed == number ? LeadingNumber(rest) : std::nullopt;
}

std::wstring_view LineFailureText(LineResult r) {
    switch (r) {
        case LineResult::Closed: return text::kDisconnected;
        case LineResult::TimedOut: return text::kTimedOut;
        case LineResult::TooLong: return text::kLineTooLong;
        case LineResult::Ok:
        case LineResult::Failed: break;
    }
    return text::kNetworkError;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string_view ApopTimestamp(std::string_view greeting) {
    size_t open = greeting.find('<');
    if (open == std::string_view::npos)
        return {};
    size_t close = greeting.find('>', open);
    if (close == std::string_view::npos)
        return {};
    std::string_view stamp = greeting.substr(open, close - open + 1);
    std::string_view inner = stamp.substr(1, stamp.size() - 2);
    bool printable = std::all_of(inner.begin(), inner.end(), [](char c) { return c > ' ' && c < 0x7f && c != '<'; });
    size_t at = inner.find('@');
    if (!printable || at == std::string_view::npos || at == 0 || at + 1 == inner.size())
        return {};
    return stamp;
}

Pop3Session::Pop3Session(std::unique_ptr<Stream> stream, std::chrono::milliseconds responseTimeout, Deadline (*now)())
    : stream_(std::move(stream)), reader_(*stream_), responseTimeout_(responseTimeout), now_(now) {}

bool Pop3Session::Fail(std::wstring_view text) {
    error_ = text;
    return false;
}

int Pop3Session::Refuse(std::wstring_view text) {
    error_ = text;
    return -1;
}

bool Pop3Session::Kill(std::wstring_view reason) {
    state_ = State::Dead;
    error_ = reason;
    return false;
}

bool Pop3Session::KillFor(LineResult failure) {
    if (failure == LineResult::TimedOut && messagesTimeBinds_)
        return Kill(text::kMessagesTooLong);
    return Kill(LineFailureText(failure));
}

bool Pop3Session::Usable() {
    if (state_ != State::Dead)
        return true;
    return Fail(text::kConnectionDead);
}

bool Pop3Session::Send(const std::string& wire) {
    IoResult r = stream_->WriteAll(wire.data(), wire.size(), ReplyDeadline());
    if (r == IoResult::Ok)
        return true;
    return r == IoResult::TimedOut ? KillFor(LineResult::TimedOut) : Kill(text::kNetworkError);
}

Deadline Pop3Session::ReplyDeadline() {
    const Deadline response = std::min(now_() + responseTimeout_, closingDeadline_);
    messagesTimeBinds_ = messagesDeadline_ <= response;
    return std::min(response, messagesDeadline_);
}

bool Pop3Session::ReadStatus(std::string& reply) {
    // The whole line within one response time from the first wait; none when it is read already.
    std::optional<Deadline> deadline;
    const WaitUntil until = [&] { return deadline ? *deadline : *(deadline = ReplyDeadline()); };
    LineResult r = reader_.ReadLine(until, kMaxStatusLine, reply);
    if (r != LineResult::Ok)
        return KillFor(r);
    if (!IsOk(reply) && !IsErr(reply))
        return Kill(text::WithReply(text::kUnexpectedReply, reply));
    return true;
}

bool Pop3Session::Command(std::string_view line, std::string& reply) {
    return Exchange(PipeCommand::Plain(std::string(line)), reply);
}

bool Pop3Session::Exchange(const PipeCommand& command, std::string& reply) {
    if (!Usable())
        return false;
    size_t dropBefore = 0;
    std::string wire = pipe_.Plan(command, dropBefore);
    if (!wire.empty() && !Send(wire))
        return false;
    for (size_t i = 0; i < dropBefore; ++i) {
        if (!DropReply())
            return false;
    }
    pipe_.PopFront();
    return ReadStatus(reply);
}

bool Pop3Session::DropReply() {
    const PipeCommand dropped = pipe_.Front();
    pipe_.PopFront();
    std::string reply;
    if (!ReadStatus(reply))
        return false;
    if (dropped.kind == PipeCommand::Kind::List)
        KeepListing(dropped.number, reply);
    return !IsOk(reply) || !dropped.Multiline() || ReadMultiline(nullptr, ReplyByteLimit(dropped.kind, dropped.number));
}

void Pop3Session::KeepListing(int number, const std::string& reply) {
    // The reply is kept for the failure text only, which shows no more than its start.
    constexpr size_t kKeptReply = 1024;
    int size = ListedSize(reply, number).value_or(-1);
    pipe_.Listed(number, Listing{size, size < 0 ? reply.substr(0, kKeptReply) : std::string()});
}

bool Pop3Session::Start() {
    if (!ReadStatus(greeting_))
        return false;
    if (!IsOk(greeting_))
        return Kill(text::WithReply(text::kGreetingRefused, greeting_));
    state_ = State::Authorization;
    return true;
}

bool Pop3Session::ReadCapabilities() {
    // A server could list without end; a handful of lines is all any server has to say.
    constexpr size_t kMaxCapabilities = 64;
    capabilities_.clear();
    std::string reply;
    if (!Command("CAPA", reply))
        return false;
    if (!IsOk(reply))
        return true;
    // The whole list within one response time, and a bounded number of lines.
    const Deadline whole = ReplyDeadline();
    for (size_t lines = 0; lines < 16 * kMaxCapabilities; ++lines) {
        std::string line;
        LineResult r = reader_.ReadLine(whole, kMaxStatusLine, line);
        if (r != LineResult::Ok)
            return KillFor(r);
        if (line == ".")
            return true;
        if (capabilities_.size() < kMaxCapabilities)
            capabilities_.push_back(std::move(line));
    }
    return Kill(text::kReplyTooLong);
}

bool Pop3Session::HasCapability(std::string_view name) const {
    return std::any_of(capabilities_.begin(), capabilities_.end(),
                       [name](std::string_view line) { return EqualNoCase(line.substr(0, line.find(' ')), name); });
}

bool Pop3Session::StartTls(const std::function<bool()>& handshake) {
    std::string reply;
    if (!Command("STLS", reply))
        return false;
    if (!IsOk(reply))
        return Kill(text::WithReply(text::kStlsRefused, reply));
    // Bytes that came in clear behind the reply must never pass for protected ones.
    if (reader_.Unread() > 0)
        return Kill(text::kUnexpectedReply);
    capabilities_.clear();  // nothing listed in clear counts from here on, not even during the handshake
    if (!handshake())
        return Kill({});
    return ReadCapabilities();
}

int Pop3Session::Login(std::string_view user, std::string_view password, bool apop) {
    if (!Usable())
        return -1;
    if (state_ != State::Authorization)
        return Refuse(text::kAlreadyLoggedIn);
    // A line break would let the text run on as a command of its own.
    if (HasLineBreakOrNul(user) || HasLineBreakOrNul(password))
        return Refuse(text::kBadCredentials);

    std::string reply;
    if (apop) {
        std::string_view stamp = ApopTimestamp(greeting_);
        if (stamp.empty())
            return Refuse(text::WithReply(text::kNoApopTimestamp, greeting_));
        std::string digest = Md5Hex(std::string(stamp) + std::string(password));
        if (!Command("APOP " + std::string(user) + " " + digest, reply))
            return -1;
        if (!IsOk(reply))
            return Refuse(text::WithReply(text::kLoginFailed, reply));
    } else {
        if (!Command("USER " + std::string(user), reply))
            return -1;
        if (!IsOk(reply))
            return Refuse(text::WithReply(text::kLoginFailed, reply));
        if (!Command("PASS " + std::string(password), reply))
            return -1;
        if (!IsOk(reply))
            return Refuse(text::WithReply(text::kLoginFailed, reply));
    }
    state_ = State::Transaction;
    messagesDeadline_ = now_() + kMessagesTime;

    if (!Command("STAT", reply))
        return -1;
    std::string_view rest = std::string_view(reply).substr(3);
    std::optional<int> count = IsOk(reply) ? LeadingNumber(rest) : std::nullopt;
    if (!count)
        return Refuse(text::WithReply(text::kStatFailed, reply));
    pipe_.Predict(HasCapability("PIPELINING") ? *count : 0);
    return *count;
}

bool Pop3Session::CheckNumber(int number) {
    if (!Usable())
        return false;
    if (state_ != State::Transaction)
        return Fail(text::kNotLoggedIn);
    if (number < 1)
        return Fail(text::kBadMessageNumber);
    // Replies sent ahead may all be waiting already: no read would find the time over.
    if (now_() >= messagesDeadline_)
        return Kill(text::kMessagesTooLong);
    return true;
}

int Pop3Session::MessageSize(int number) {
    if (!CheckNumber(number))
        return -1;
    // Read on the way when it went ahead, or asked now.
    const Listing* listing = pipe_.FindListing(number);
    if (listing == nullptr) {
        std::string reply;
        if (!Exchange(PipeCommand::ForMessage(PipeCommand::Kind::List, number), reply))
            return -1;
        KeepListing(number, reply);
        listing = pipe_.FindListing(number);
    }
    if (listing->size < 0)
        return Refuse(text::ForMessage(number, text::kSizeFailed, listing->reply));
    return listing->size;
}

bool Pop3Session::FetchHeader(int number, MailBuffers& out) {
    return Fetch(number, PipeCommand::Kind::Top, text::kHeaderFailed, out);
}

bool Pop3Session::FetchMessage(int number, MailBuffers& out) {
    return Fetch(number, PipeCommand::Kind::Retr, text::kFetchFailed, out);
}

bool Pop3Session::Fetch(int number, PipeCommand::Kind kind, std::wstring_view what, MailBuffers& out) {
    if (!CheckNumber(number))
        return false;
    std::string reply;
    if (!Exchange(PipeCommand::ForMessage(kind, number), reply))
        return false;
    if (!IsOk(reply))
        return Fail(text::ForMessage(number, what, reply));
    MailWriter writer(out);
    return ReadMultiline(&writer, ReplyByteLimit(kind, number));
}

uint64_t Pop3Session::ReplyByteLimit(PipeCommand::Kind kind, int number) const {
    uint64_t limit = kind == PipeCommand::Kind::Top ? kMaxHeaderBytes : kMaxReplyBytes;
    const Listing* listing = pipe_.FindListing(number);
    if (listing == nullptr || listing->size < 0)
        return limit;
    return std::min(uint64_t(listing->size) * 2 + kReplyMargin, limit);
}

bool Pop3Session::ReadMultiline(MailWriter* writer, uint64_t byteLimit) {
    const Deadline start = now_();
    uint64_t received = 0;
    bool lineStart = true;
    // Each pause gets the full response time; the whole reply must keep up the minimum rate after that.
    bool wholeBinds = false;
    const WaitUntil until = [&] {
        Deadline whole = start + responseTimeout_ + std::chrono::milliseconds(received * 1000 / kMinReplyRate);
        Deadline pause = ReplyDeadline();
        wholeBinds = whole <= pause;
        return std::min(pause, whole);
    };
    for (;;) {
        std::string_view piece;
        bool lineEnd = false;
        LineResult r = reader_.NextPiece(until, piece, lineEnd);
        if (r == LineResult::TimedOut && wholeBinds)
            return Kill(text::kReplyTooSlow);
        if (r != LineResult::Ok)
            return KillFor(r);
        received += piece.size() + (lineEnd ? 2 : 0);
        if (received > byteLimit)
            return Kill(text::kReplyTooLong);
        if (lineStart && !piece.empty() && piece.front() == '.') {
            if (lineEnd && piece.size() == 1)
                return true;
            piece.remove_prefix(1);
        }
        if (writer != nullptr)
            writer->Piece(piece, lineStart, lineEnd);
        lineStart = lineEnd;
    }
}

void Pop3Session::Quit() {
    if (state_ == State::Authorization || state_ == State::Transaction) {
        // Replies sent ahead and never asked for come before QUIT's: all of it gets one response time.
        closingDeadline_ = now_() + responseTimeout_;
        messagesDeadline_ = Deadline::max();
        std::string reply;
        Command("QUIT", reply);
    }
    state_ = State::Dead;
    stream_.reset();
}

}  // namespace nmail
