// Failure texts: kept in UTF-16 from the literal (or the server's reply) to the reader, so that they
// read whole whatever the system's ANSI code page.
#include "platform/nmail/Messages.h"

#include <algorithm>

#include "platform/base/CodePage.h"
#include "platform/base/Utf8.h"

namespace nmail::text {
namespace {

// Enough for any honest reply; the rest of a long one adds nothing for the reader.
constexpr size_t kMaxReplyShown = 512;

// Strict UTF-8 only. False when `bytes` is not UTF-8.
bool DecodeUtf8(std::string_view bytes, std::wstring& out) {
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        size_t length = platform::Utf8Sequence(bytes.substr(i), c);
        if (length == 0)
            return false;
        platform::AppendWide(out, c);
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
