// Writing a fetched message into the caller's fixed buffers: header fields, whole header and body.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace nmail {

// Appends text into a caller's buffer, always NUL-terminated, never past its end; what does not fit is dropped.
class SpanWriter {
public:
    SpanWriter() = default;
    // Uses at most `limit` bytes of `out`, the NUL included. Clears the text at once.
    explicit SpanWriter(std::span<char> out, size_t limit = static_cast<size_t>(-1));

    void Append(std::string_view text);
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }

private:
    std::span<char> out_;
    size_t length_ = 0;
};

// Buffers a, b, c, d as NMail.h describes them, plus the body.
struct MailBuffers {
    SpanWriter subject;
    SpanWriter date;
    SpanWriter from;
    SpanWriter header;
    SpanWriter body;
};

// Takes the unstuffed lines of a TOP or RETR response, piece by piece, and files them into MailBuffers.
class MailWriter {
public:
    explicit MailWriter(MailBuffers& buffers) : buffers_(buffers) {}

    // A piece of a line; `lineStart` is true on a line's first piece, `lineEnd` on its last.
    void Piece(std::string_view piece, bool lineStart, bool lineEnd);

private:
    void HeaderPiece(std::string_view piece, bool lineStart, bool lineEnd);
    void StartField(std::string_view line);
    void AppendField(std::string_view text);

    MailBuffers& buffers_;
    bool inBody_ = false;
    SpanWriter* field_ = nullptr;  // The field whose line is being read, when it is one we keep.
    bool seenSubject_ = false, seenDate_ = false, seenFrom_ = false;
};

}  // namespace nmail
