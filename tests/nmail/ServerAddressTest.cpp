// Server setting forms: plain host, host:port, bracketed IPv6 with and without port, and refusals.
#include "platform/nmail/ServerAddress.h"

#include <gtest/gtest.h>

namespace nmail {
namespace {

void ExpectParsed(std::string_view text, std::string_view host, std::string_view port) {
    auto a = ParseServerAddress(text);
    ASSERT_TRUE(a.has_value()) << text;
    EXPECT_EQ(a->host, host) << text;
    EXPECT_EQ(a->port, port) << text;
}

TEST(ServerAddress, AcceptedForms) {
    ExpectParsed("pop.example.jp", "pop.example.jp", "110");
    ExpectParsed("pop.example.jp:995", "pop.example.jp", "995");
    ExpectParsed("127.0.0.1:1100", "127.0.0.1", "1100");
    ExpectParsed("[::1]:2110", "::1", "2110");
    ExpectParsed("[::1]", "::1", "110");
    ExpectParsed("::1", "::1", "110");
    ExpectParsed("  pop.example.jp:110 \r\n", "pop.example.jp", "110");
    ExpectParsed("host:65535", "host", "65535");
}

TEST(ServerAddress, RefusedForms) {
    for (std::string_view bad : {"", "   ", "host:", "host:0", "host:65536", "host:99999999", "host:11a", ":110",
                                 "[::1", "[::1]x", "[::1]:", "[]:110", "a b:110"}) {
        EXPECT_FALSE(ParseServerAddress(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace nmail
