// An in-memory Stream for reader tests: hands out pre-cut chunks, one per Read, then reports a close; on a
// test clock if asked.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "platform/nmail/Stream.h"

namespace nmail::testing {

class ScriptedStream : public Stream {
public:
    void Add(std::string chunk) { chunks_.push_back(std::move(chunk)); }
    // From now on a test clock runs: each chunk comes `tick` after the last, and a read whose deadline comes
    // first times out at that deadline.
    void RunClock(Deadline& clock, Clock::duration tick) {
        clock_ = &clock;
        tick_ = tick;
    }
    int reads() const { return reads_; }
    std::string written;

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        ++reads_;
        if (chunks_.empty())
            return IoResult::Closed;
        if (clock_ != nullptr && *clock_ + tick_ > deadline) {
            *clock_ = std::max(*clock_, deadline);
            return IoResult::TimedOut;
        }
        if (clock_ != nullptr)
            *clock_ += tick_;
        std::string& front = chunks_.front();
        got = std::min(capacity, front.size());
        std::memcpy(buffer, front.data(), got);
        front.erase(0, got);
        if (front.empty())
            chunks_.pop_front();
        return IoResult::Ok;
    }

    IoResult WriteAll(const char* data, size_t size, Deadline) override {
        written.append(data, size);
        return IoResult::Ok;
    }

private:
    std::deque<std::string> chunks_;
    int reads_ = 0;
    Deadline* clock_ = nullptr;
    Clock::duration tick_{};
};

}  // namespace nmail::testing
