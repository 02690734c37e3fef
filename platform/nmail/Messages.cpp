// Failure texts: wide literals converted to the ANSI code page; server replies are appended as bytes.
#include "platform/nmail/Messages.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace nmail::text {
namespace {

// Enough for any honest reply; the rest of a long one adds nothing for the reader.
constexpr size_t kMaxReplyShown = 512;

}  // namespace

std::string Ansi(std::wstring_view text) {
    return platform::ToAnsi(text);
}

std::string WithReply(std::wstring_view text, std::string_view reply) {
    std::string out = Ansi(text);
    if (reply.empty())
        return out;
    out += Ansi(L"サーバーの応答: ");
    std::string shown(reply.substr(0, kMaxReplyShown));
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }, '?');
    out += shown;
    if (reply.size() > kMaxReplyShown)
        out += "...";
    return out;
}

std::string ForMessage(int number, std::wstring_view what, std::string_view reply) {
    std::wstring text = L"メール " + std::to_wstring(number) + L" 番";
    text += what;
    return WithReply(text, reply);
}

}  // namespace nmail::text
