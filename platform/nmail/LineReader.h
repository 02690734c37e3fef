// Buffered line reading over a Stream with a fixed buffer, so no server can make it hold unbounded data.
// A line ends at LF; a CR right before the LF is dropped, so CRLF and bare LF both end lines.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/nmail/Stream.h"

namespace nmail {

enum class LineResult { Ok, Closed, TimedOut, Failed, TooLong };

// Until when the reader may wait for the stream. Asked only when the buffer runs dry, so lines already read
// cost no look at the clock.
using WaitUntil = std::function<Deadline()>;

class LineReader {
public:
    static constexpr size_t kBufferSize = 64 * 1024;

    explicit LineReader(Stream& stream);

    // The next piece of the current line, valid until the next call. A line longer than the buffer comes in
    // several pieces; `lineEnd` is true on the piece that ends the line (the line end is not in the piece).
    LineResult NextPiece(const WaitUntil& until, std::string_view& piece, bool& lineEnd);
    LineResult NextPiece(Deadline deadline, std::string_view& piece, bool& lineEnd) {
        return NextPiece([deadline] { return deadline; }, piece, lineEnd);
    }

    // A whole line of at most `maxLength` bytes; a longer one gives TooLong and leaves the stream out of step.
    LineResult ReadLine(const WaitUntil& until, size_t maxLength, std::string& line);
    LineResult ReadLine(Deadline deadline, size_t maxLength, std::string& line) {
        return ReadLine([deadline] { return deadline; }, maxLength, line);
    }

    // Bytes read from the stream but not handed out yet.
    size_t Unread() const { return end_ - begin_; }

private:
    LineResult Fill(Deadline deadline);

    Stream& stream_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0;    // First unconsumed byte.
    size_t scanned_ = 0;  // Bytes from begin_ known to hold no LF.
    size_t end_ = 0;      // One past the last byte read.
};

}  // namespace nmail
