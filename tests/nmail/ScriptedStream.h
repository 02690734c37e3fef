// An in-memory Stream for reader tests: hands out pre-cut chunks, one per Read, then reports a close.
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
    int reads() const { return reads_; }
    std::string written;
    // On a test clock, each chunk comes `tick` after the last; a read that would wait past its deadline ends there.
    Deadline* clock = nullptr;
    Clock::duration tick{};

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        ++reads_;
        if (chunks_.empty())
            return IoResult::Closed;
        if (clock != nullptr && (*clock += tick) > deadline) {
            *clock = std::max(*clock - tick, deadline);
            return IoResult::TimedOut;
        }
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
};

}  // namespace nmail::testing
