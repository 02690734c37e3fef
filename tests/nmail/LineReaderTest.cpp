// Line splitting: line ends across reads, bare LF, NUL bytes, lines longer than the buffer.
#include "platform/nmail/LineReader.h"

#include <gtest/gtest.h>

#include <vector>

#include "ScriptedStream.h"

namespace nmail {
namespace {

using testing::ScriptedStream;

const Deadline kSoon = Clock::now() + std::chrono::seconds(5);

std::vector<std::string> ReadLines(ScriptedStream& stream, size_t maxLength = 1 << 20) {
    LineReader reader(stream);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(kSoon, maxLength, line) == LineResult::Ok)
        lines.push_back(line);
    return lines;
}

TEST(LineReader, SplitsLines) {
    using namespace std::string_literals;
    struct Row {
        const char* name;
        std::vector<std::string> reads, lines;
    };
    for (const Row& row : {
             Row{"line ends split across reads",
                 {"+OK one\r", "\n+O", "K two\r\n", "\r", "\n", "last\r\n"},
                 {"+OK one", "+OK two", "", "last"}},
             Row{"bare LF, stray CR and NUL", {"a\nb\rc\r\nd\0e\n\n"s}, {"a", "b\rc", "d\0e"s, ""}},
         }) {
        ScriptedStream s;
        for (const std::string& read : row.reads)
            s.Add(read);
        EXPECT_EQ(ReadLines(s), row.lines) << row.name;
    }
}

TEST(LineReader, UnfinishedLastLineReportsClose) {
    ScriptedStream s;
    s.Add("+OK\r\npartial");
    LineReader reader(s);
    std::string line;
    EXPECT_EQ(reader.ReadLine(kSoon, 100, line), LineResult::Ok);
    EXPECT_EQ(reader.ReadLine(kSoon, 100, line), LineResult::Closed);
}

TEST(LineReader, ReadLineRefusesOverlongLine) {
    ScriptedStream s;
    s.Add(std::string(101, 'x') + "\r\n");
    LineReader reader(s);
    std::string line;
    EXPECT_EQ(reader.ReadLine(kSoon, 100, line), LineResult::TooLong);
    EXPECT_LE(line.size(), 100u);
}

TEST(LineReader, LineLongerThanBufferComesInPiecesWithCrlfKeptTogether) {
    // The CR lands on the last byte of the full buffer and must not be handed out as data.
    std::string longLine(LineReader::kBufferSize - 1, 'y');
    ScriptedStream s;
    s.Add(longLine + "\r");
    s.Add("\nnext\r\n");
    LineReader reader(s);
    std::string joined;
    std::string_view piece;
    bool lineEnd = false;
    int pieces = 0;
    do {
        ASSERT_EQ(reader.NextPiece(kSoon, piece, lineEnd), LineResult::Ok);
        joined.append(piece);
        ++pieces;
    } while (!lineEnd);
    EXPECT_EQ(joined, longLine);
    EXPECT_GE(pieces, 2);
    std::string line;
    EXPECT_EQ(reader.ReadLine(kSoon, 100, line), LineResult::Ok);
    EXPECT_EQ(line, "next");
}

TEST(LineReader, ManySmallLinesNeedFewReads) {
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += "line " + std::to_string(i) + "\r\n";
    ScriptedStream s;
    s.Add(data);
    EXPECT_EQ(ReadLines(s).size(), 1000u);
    EXPECT_LE(s.reads(), 3);
}

}  // namespace
}  // namespace nmail
