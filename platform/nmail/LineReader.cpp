// Line splitting over one fixed buffer: each byte is read once, scanned once and moved at most once.
#include "platform/nmail/LineReader.h"

#include <cstring>

namespace nmail {
namespace {

// Reads go straight into the buffer's free tail; below this much room the data is moved to the front first.
constexpr size_t kMinimumRead = 16 * 1024;

LineResult FromIo(IoResult r) {
    switch (r) {
        case IoResult::Ok: return LineResult::Ok;
        case IoResult::Closed: return LineResult::Closed;
        case IoResult::TimedOut: return LineResult::TimedOut;
        case IoResult::Failed: break;
    }
    return LineResult::Failed;
}

}  // namespace

LineReader::LineReader(Stream& stream) : stream_(stream), buffer_(new char[kBufferSize]) {}

LineResult LineReader::Fill(Deadline deadline) {
    if (begin_ == end_) {
        begin_ = end_ = scanned_ = 0;
    } else if (kBufferSize - end_ < kMinimumRead && begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    size_t got = 0;
    IoResult r = stream_.Read(buffer_.get() + end_, kBufferSize - end_, got, deadline);
    if (r == IoResult::Ok)
        end_ += got;
    return FromIo(r);
}

LineResult LineReader::NextPiece(const WaitUntil& until, std::string_view& piece, bool& lineEnd) {
    for (;;) {
        char* start = buffer_.get() + begin_;
        size_t available = end_ - begin_;
        auto* lf = static_cast<char*>(std::memchr(start + scanned_, '\n', available - scanned_));
        if (lf != nullptr) {
            size_t length = size_t(lf - start);
            size_t content = length > 0 && start[length - 1] == '\r' ? length - 1 : length;
            piece = std::string_view(start, content);
            lineEnd = true;
            begin_ += length + 1;
            scanned_ = 0;
            return LineResult::Ok;
        }
        scanned_ = available;
        if (available == kBufferSize) {
            // Hand out what is there; a CR at the very end may belong to the CRLF that follows.
            size_t length = start[available - 1] == '\r' ? available - 1 : available;
            piece = std::string_view(start, length);
            lineEnd = false;
            begin_ += length;
            scanned_ = available - length;
            return LineResult::Ok;
        }
        LineResult r = Fill(until());
        if (r != LineResult::Ok)
            return r;
    }
}

LineResult LineReader::ReadLine(const WaitUntil& until, size_t maxLength, std::string& line) {
    line.clear();
    for (;;) {
        std::string_view piece;
        bool lineEnd = false;
        LineResult r = NextPiece(until, piece, lineEnd);
        if (r != LineResult::Ok)
            return r;
        if (line.size() + piece.size() > maxLength)
            return LineResult::TooLong;
        line.append(piece);
        if (lineEnd)
            return LineResult::Ok;
    }
}

}  // namespace nmail
