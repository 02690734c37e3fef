// Fuzzes the line reader and the filing of a message into small caller buffers. Input: a byte for the line
// length limit, a byte that seeds how the stream is cut into reads, then the stream's bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScriptedStream.h"
#include "platform/nmail/LineReader.h"
#include "platform/nmail/MailText.h"

namespace {

using fuzz::Random;
using fuzz::Require;

// The text a SpanWriter left ends inside its span.
void RequireTerminated(const std::vector<char>& buffer) {
    Require(buffer.empty() || std::memchr(buffer.data(), 0, buffer.size()) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t maxLength = data[0] * 64u;
    Random random{data[1]};
    nmail::testing::ScriptedStream stream;
    fuzz::AddAsReads(stream, std::string_view(reinterpret_cast<const char*>(data + 2), size - 2), random,
                     [] { return 300u; });
    nmail::LineReader reader(stream);
    const nmail::Deadline deadline = nmail::Clock::now() + std::chrono::seconds(1);

    std::vector<char> a(random.Next() % 40), b(5), c(1), d(random.Next() % 200), body(random.Next() % 300);
    nmail::MailBuffers buffers{nmail::SpanWriter(a), nmail::SpanWriter(b), nmail::SpanWriter(c),
                               nmail::SpanWriter(d, 100), nmail::SpanWriter(body)};
    nmail::MailWriter writer(buffers);
    bool lineStart = true;
    for (;;) {
        nmail::LineResult r;
        if (random.Next() % 4 == 0) {
            std::string line;
            r = reader.ReadLine(deadline, maxLength, line);
            Require(line.size() <= maxLength);
            lineStart = true;
        } else {
            std::string_view piece;
            bool lineEnd = false;
            r = reader.NextPiece(deadline, piece, lineEnd);
            if (r == nmail::LineResult::Ok) {
                Require(piece.find('\n') == std::string_view::npos);
                Require(piece.size() <= nmail::LineReader::kBufferSize);
                writer.Piece(piece, lineStart, lineEnd);
                lineStart = lineEnd;
            }
        }
        if (r != nmail::LineResult::Ok && r != nmail::LineResult::TooLong)
            break;
    }
    for (const auto* buffer : {&a, &b, &c, &d, &body})
        RequireTerminated(*buffer);
    return 0;
}
