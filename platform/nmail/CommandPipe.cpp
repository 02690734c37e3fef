// Prediction of the mail check's commands and the window of those sent ahead.
#include "platform/nmail/CommandPipe.h"

#include <algorithm>

namespace nmail {
namespace {

// The longest command predicted, line end included.
constexpr size_t kLongestCommand = sizeof "TOP 2147483647 0\r\n" - 1;
// Whatever the window holds fits the socket buffers on both sides, so sending never waits for a server that
// is itself waiting for its replies to be read.
static_assert(CommandPipe::kWindowCommands * kLongestCommand <= 4096);

// LIST replies kept; far more than the window can have read on the way.
constexpr size_t kMaxListings = 4 * CommandPipe::kListAhead;

}  // namespace

PipeCommand PipeCommand::Plain(std::string line) {
    PipeCommand c;
    c.line = std::move(line);
    return c;
}

PipeCommand PipeCommand::ForMessage(Kind kind, int number) {
    PipeCommand c;
    std::string n = std::to_string(number);
    c.line = kind == Kind::Top ? "TOP " + n + " 0" : kind == Kind::List ? "LIST " + n : "RETR " + n;
    c.kind = kind;
    c.number = number;
    return c;
}

void CommandPipe::Predict(int count) {
    count_ = std::max(count, 0);
    nextList_ = nextFetch_ = 1;
    retrNext_ = false;
}

std::string CommandPipe::Plan(const PipeCommand& wanted, size_t& dropBefore) {
    std::string out;
    auto find = [&] {
        return std::find_if(sent_.begin(), sent_.end(), [&](const PipeCommand& c) { return c.line == wanted.line; });
    };
    auto it = find();
    if (it == sent_.end() && wanted.kind != PipeCommand::Kind::Other && wanted.number >= nextFetch_) {
        // Prediction may have been waiting for a LIST reply that has been read since.
        Refill(out);
        it = find();
    }
    if (it != sent_.end()) {
        dropBefore = size_t(it - sent_.begin());
        // Refill in batches, once half the window has been answered.
        if (sent_.size() - dropBefore <= kWindowCommands / 2)
            Refill(out);
        return out;
    }
    // Not sent ahead: whatever is queued comes first, then this command, and prediction goes on after it in
    // the check's order (TOP n 0, LIST n, RETR n).
    dropBefore = sent_.size();
    Queue(wanted, out);
    if (wanted.kind == PipeCommand::Kind::Other || wanted.number < 1 || wanted.number > count_)
        return out;
    int64_t n = wanted.number;
    bool forward = n >= nextFetch_;
    nextFetch_ = wanted.kind == PipeCommand::Kind::Retr ? n + 1 : n;
    retrNext_ = wanted.kind != PipeCommand::Kind::Retr;
    // LIST replies on their way are not known yet: going forward they are not asked again.
    nextList_ = forward ? std::max(nextList_, nextFetch_) : nextFetch_;
    Refill(out);
    return out;
}

void CommandPipe::Listed(int number, Listing listing) {
    listings_.insert_or_assign(number, std::move(listing));
    if (listings_.size() > kMaxListings)
        listings_.erase(listings_.begin());
}

const Listing* CommandPipe::FindListing(int number) const {
    auto it = listings_.find(number);
    return it != listings_.end() ? &it->second : nullptr;
}

void CommandPipe::Queue(PipeCommand command, std::string& out) {
    out.append(command.line).append("\r\n");
    sent_.push_back(std::move(command));
}

void CommandPipe::Refill(std::string& out) {
    using Kind = PipeCommand::Kind;
    while (sent_.size() < kWindowCommands) {
        if (nextList_ <= count_ && nextList_ < nextFetch_ + kListAhead) {
            if (FindListing(int(nextList_)) == nullptr)
                Queue(PipeCommand::ForMessage(Kind::List, int(nextList_)), out);
            ++nextList_;
            continue;
        }
        if (nextFetch_ > count_)
            return;
        if (!retrNext_) {
            Queue(PipeCommand::ForMessage(Kind::Top, int(nextFetch_)), out);
            retrNext_ = true;
            continue;
        }
        const Listing* listing = FindListing(int(nextFetch_));
        if (listing == nullptr)
            return;  // RETR waits until the reply to LIST has been read.
        if (listing->size >= 0)
            Queue(PipeCommand::ForMessage(Kind::Retr, int(nextFetch_)), out);
        ++nextFetch_;
        retrNext_ = false;
    }
}

}  // namespace nmail
