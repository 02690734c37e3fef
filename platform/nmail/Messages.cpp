// Failure texts: kept in UTF-16 from the literal (or the server's reply) to the reader, so that they
// read whole whatever the system's ANSI code page.
#include "platform/nmail/Messages.h"

#include <algorithm>

#include "platform/base/CodePage.h"

namespace nmail::text {
namespace {

// Enough for any honest reply; the rest of a long one adds nothing for the reader.
constexpr size_t kMaxReplyShown = 512;

void AppendCodePoint(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += wchar_t(0xD800 + (c >> 10));
            out += wchar_t(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += wchar_t(c);
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF. False when `bytes` is not UTF-8.
bool DecodeUtf8(std::string_view bytes, std::wstring& out) {
    for (size_t i = 0; i < bytes.size();) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t length = lead < 0x80                   ? 1
                        : lead >= 0xC2 && lead < 0xE0 ? 2
                        : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5 ? 4
                                                      : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            return false;
        AppendCodePoint(out, c);
        i += length;
    }
    return true;
}

std::wstring ReplyText(std::string_view reply) {
    std::string shown(reply);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }, '?');
    std::wstring text;
    if (!DecodeUtf8(shown, text))
        text = platform::FromAnsi(shown);
    if (text.size() > kMaxReplyShown) {
        bool splitsPair = text[kMaxReplyShown - 1] >= 0xD800 && text[kMaxReplyShown - 1] <= 0xDBFF;
        text.resize(kMaxReplyShown - (splitsPair ? 1 : 0));
        text += L"...";
    }
    return text;
}

}  // namespace

std::wstring WithReply(std::wstring_view text, std::string_view reply) {
    std::wstring out(text);
    if (!reply.empty())
        out += L"サーバーの応答: " + ReplyText(reply);
    return out;
}

std::wstring ForMessage(int number, std::wstring_view what, std::string_view reply) {
    std::wstring text = L"メール " + std::to_wstring(number) + L" 番";
    text += what;
    return WithReply(text, reply);
}

}  // namespace nmail::text
