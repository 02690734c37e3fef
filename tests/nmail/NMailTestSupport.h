// Helpers shared by the tests that go through the public NMail functions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/base/CodePage.h"
#include "platform/nmail/NMail.h"

namespace nmail::testing {

// The last failure's text.
inline std::wstring LastMessage() {
    std::vector<wchar_t> buffer(8192, L'G');
    int capacity = int(buffer.size());
    NMailGetMessageW(0, buffer.data(), &capacity);
    return buffer.data();
}

inline ::testing::AssertionResult Contains(const std::wstring& text, const std::wstring& part) {
    if (text.find(part) != std::wstring::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text does not contain the expected part";
}

// Four text buffers and a body buffer, as the mail check hands them over.
struct Buffers {
    explicit Buffers(size_t bodySize = 8192) : body(bodySize, ' ') {}
    std::vector<char> a = std::vector<char>(8192, ' '), b = a, c = a, d = a;
    std::vector<char> body;

    std::string A() const { return a.data(); }
    std::string D() const { return d.data(); }
    std::string Body() const { return body.data(); }
};

inline int Status(int handle, int number, Buffers& buf) {
    return NMailPop3GetMailStatus(handle, number, buf.a, buf.b, buf.c, buf.d, 0);
}

inline int Fetch(int handle, int number, Buffers& buf) {
    return NMailPop3GetMail(handle, number, buf.a, buf.b, buf.c, buf.d, buf.body, 0, 0);
}

}  // namespace nmail::testing
