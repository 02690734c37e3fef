// Message filing: the header goes line by line into buffer d and the fields of interest into a, b and c;
// everything after the blank line goes into the body with CRLF line ends.
#include "platform/nmail/MailText.h"

#include <algorithm>
#include <cstring>

namespace nmail {
namespace {

bool NameIs(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':')
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != name[i])
            return false;
    }
    return true;
}

}  // namespace

SpanWriter::SpanWriter(std::span<char> out, size_t limit) : out_(out.first(std::min(out.size(), limit))) {
    if (!out_.empty())
        out_[0] = '\0';
}

void SpanWriter::Append(std::string_view text) {
    if (out_.empty())
        return;
    size_t room = out_.size() - 1 - length_;
    size_t n = std::min(room, text.size());
    if (n == 0)
        return;
    std::memcpy(out_.data() + length_, text.data(), n);
    length_ += n;
    out_[length_] = '\0';
}

void MailWriter::Piece(std::string_view piece, bool lineStart, bool lineEnd) {
    if (!inBody_) {
        HeaderPiece(piece, lineStart, lineEnd);
        return;
    }
    buffers_.body.Append(piece);
    if (lineEnd)
        buffers_.body.Append("\r\n");
}

void MailWriter::HeaderPiece(std::string_view piece, bool lineStart, bool lineEnd) {
    if (lineStart && lineEnd && piece.empty()) {
        inBody_ = true;
        field_ = nullptr;
        return;
    }
    buffers_.header.Append(piece);
    if (lineEnd)
        buffers_.header.Append("\r\n");
    if (!lineStart) {
        AppendField(piece);
        return;
    }
    bool continuation = !piece.empty() && (piece.front() == ' ' || piece.front() == '\t');
    if (continuation) {
        AppendField(piece);  // Unfolding: the line break goes, the blank stays.
    } else {
        StartField(piece);
    }
}

void MailWriter::StartField(std::string_view line) {
    field_ = nullptr;
    struct Known {
        std::string_view name;
        SpanWriter* writer;
        bool* seen;
    };
    const Known known[] = {{"subject", &buffers_.subject, &seenSubject_},
                           {"date", &buffers_.date, &seenDate_},
                           {"from", &buffers_.from, &seenFrom_}};
    for (const Known& k : known) {
        if (*k.seen || !NameIs(line, k.name))
            continue;
        *k.seen = true;  // A repeated field keeps its first value.
        field_ = k.writer;
        std::string_view value = line.substr(k.name.size() + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        AppendField(value);
        return;
    }
}

void MailWriter::AppendField(std::string_view text) {
    if (field_ == nullptr)
        return;
    // Control bytes (tabs of folded lines, stray CR or NUL) become blanks so the value reads as one line.
    char clean[256];
    while (!text.empty()) {
        size_t n = std::min(text.size(), sizeof clean);
        std::replace_copy_if(
            text.begin(), text.begin() + n, clean,
            [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }, ' ');
        field_->Append(std::string_view(clean, n));
        text.remove_prefix(n);
    }
}

}  // namespace nmail
