// Filing a message into fixed buffers: exact capacity, guards, empty spans, header fields and folding.
#include "platform/nmail/MailText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace nmail {
namespace {

TEST(SpanWriter, FillsExactlyToCapacityAndNoFurther) {
    std::array<char, 12> raw;
    raw.fill('G');
    SpanWriter w(std::span<char>(raw.data(), 8));
    w.Append("abc");
    w.Append("defghij");
    EXPECT_STREQ(raw.data(), "abcdefg");
    EXPECT_EQ(w.size(), 7u);
    for (size_t i = 8; i < raw.size(); ++i)
        EXPECT_EQ(raw[i], 'G') << i;
}

TEST(SpanWriter, LimitBelowSpanSizeAndEmptySpan) {
    std::array<char, 8> raw;
    raw.fill('G');
    SpanWriter limited(std::span<char>(raw.data(), 8), 3);
    limited.Append("xyz");
    EXPECT_STREQ(raw.data(), "xy");
    EXPECT_EQ(raw[3], 'G');

    SpanWriter none(std::span<char>(raw.data() + 4, 0));
    none.Append("anything");
    EXPECT_EQ(raw[4], 'G');
}

struct Filed {
    std::array<char, 128> subject{}, date{}, from{}, header{}, body{};
    MailBuffers buffers{SpanWriter(subject), SpanWriter(date), SpanWriter(from), SpanWriter(header), SpanWriter(body)};

    void Lines(std::initializer_list<std::string_view> lines) {
        MailWriter w(buffers);
        for (std::string_view line : lines)
            w.Piece(line, true, true);
    }
};

TEST(MailWriter, HeaderFieldsAndBody) {
    Filed f;
    f.Lines({"Subject: Hello", "  world", "date:\tMon, 1 Jan 2024", "From: a@b", "From: second@b", "X: y", "", "body 1",
             "", "body 3"});
    EXPECT_STREQ(f.subject.data(), "Hello  world");
    EXPECT_STREQ(f.date.data(), "Mon, 1 Jan 2024");
    EXPECT_STREQ(f.from.data(), "a@b");
    EXPECT_STREQ(f.header.data(),
                 "Subject: Hello\r\n  world\r\ndate:\tMon, 1 Jan 2024\r\nFrom: a@b\r\nFrom: second@b\r\nX: y\r\n");
    EXPECT_STREQ(f.body.data(), "body 1\r\n\r\nbody 3\r\n");
}

TEST(MailWriter, PiecesOfOneLineJoinAndNoBlankLineMeansNoBody) {
    Filed f;
    MailWriter w(f.buffers);
    w.Piece("Subject: ab", true, false);
    w.Piece("cd", false, true);
    w.Piece("Subjectless: x", true, true);
    EXPECT_STREQ(f.subject.data(), "abcd");
    EXPECT_STREQ(f.body.data(), "");
}

}  // namespace
}  // namespace nmail
