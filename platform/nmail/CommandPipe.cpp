// Prediction of the mail check's commands and the window of those sent ahead.
#include "platform/nmail/CommandPipe.h"

#include <algorithm>

namespace nmail {
namespace {

constexpr int64_t kSteps = 3;  // Top, List, Retr

int64_t IndexOf(const PipeCommand& c) {
    int64_t step = c.kind == PipeCommand::Kind::Top ? 0 : c.kind == PipeCommand::Kind::List ? 1 : 2;
    return int64_t(c.number - 1) * kSteps + step;
}

PipeCommand AtIndex(int64_t index) {
    static constexpr PipeCommand::Kind kKinds[] = {PipeCommand::Kind::Top, PipeCommand::Kind::List,
                                                   PipeCommand::Kind::Retr};
    return PipeCommand::ForMessage(kKinds[index % kSteps], int(index / kSteps + 1));
}

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
    end_ = int64_t(std::max(count, 0)) * kSteps;
    next_ = 0;
}

std::string CommandPipe::Plan(const PipeCommand& wanted, size_t& dropBefore) {
    std::string out;
    auto it = std::find_if(sent_.begin(), sent_.end(), [&](const PipeCommand& c) { return c.line == wanted.line; });
    if (it != sent_.end()) {
        dropBefore = size_t(it - sent_.begin());
        // Refill in batches, once half the window has been answered.
        if (sent_.size() - dropBefore <= kWindowCommands / 2)
            Refill(out);
        return out;
    }
    // Not sent ahead: whatever is queued comes first, then this command, and prediction goes on after it.
    dropBefore = sent_.size();
    Queue(wanted, out);
    bool predictable = wanted.kind != PipeCommand::Kind::Other && wanted.number > 0;
    if (predictable && IndexOf(wanted) < end_) {
        next_ = IndexOf(wanted) + 1;
        Refill(out);
    }
    return out;
}

void CommandPipe::PopFront() {
    sentBytes_ -= sent_.front().line.size() + 2;
    sent_.pop_front();
}

void CommandPipe::Queue(PipeCommand command, std::string& out) {
    out.append(command.line).append("\r\n");
    sentBytes_ += command.line.size() + 2;
    sent_.push_back(std::move(command));
}

void CommandPipe::Refill(std::string& out) {
    while (next_ < end_ && sent_.size() < kWindowCommands) {
        PipeCommand c = AtIndex(next_);
        if (sentBytes_ + c.line.size() + 2 > kWindowBytes)
            break;
        Queue(std::move(c), out);
        ++next_;
    }
}

}  // namespace nmail
