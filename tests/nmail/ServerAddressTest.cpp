// Server setting forms: plain host, host:port, bracketed IPv6 with and without port, the pop3s:// and pop3://
// schemes and port 995, and refusals.
#include "platform/nmail/ServerAddress.h"

#include <gtest/gtest.h>

namespace nmail {
namespace {

void ExpectParsed(std::string_view text,
                  std::string_view host,
                  std::string_view port,
                  Security security = Security::StlsOffered) {
    auto a = ParseServerAddress(text);
    ASSERT_TRUE(a.has_value()) << text;
    EXPECT_EQ(a->host, host) << text;
    EXPECT_EQ(a->port, port) << text;
    EXPECT_EQ(a->security, security) << text;
}

TEST(ServerAddress, AcceptedForms) {
    ExpectParsed("pop.example.jp", "pop.example.jp", "110");
    ExpectParsed("pop.example.jp:995", "pop.example.jp", "995", Security::Tls);
    ExpectParsed("pop.example.jp:0995", "pop.example.jp", "0995", Security::Tls);
    ExpectParsed("127.0.0.1:1100", "127.0.0.1", "1100");
    ExpectParsed("[::1]:2110", "::1", "2110");
    ExpectParsed("[::1]", "::1", "110");
    ExpectParsed("::1", "::1", "110");
    ExpectParsed("  pop.example.jp:110 \r\n", "pop.example.jp", "110");
    ExpectParsed("host:65535", "host", "65535");
}

TEST(ServerAddress, Schemes) {
    ExpectParsed("pop3s://pop.example.jp", "pop.example.jp", "995", Security::Tls);
    ExpectParsed("POP3S://pop.example.jp:1995/", "pop.example.jp", "1995", Security::Tls);
    ExpectParsed("pop3s://[::1]", "::1", "995", Security::Tls);
    ExpectParsed("pop3://pop.example.jp", "pop.example.jp", "110", Security::Plain);
    ExpectParsed("pop3://127.0.0.1:995", "127.0.0.1", "995", Security::Plain);
    ExpectParsed(" pop3://[::1]:2110 ", "::1", "2110", Security::Plain);
}

TEST(ServerAddress, RefusedForms) {
    for (std::string_view bad : {"", "   ", "host:", "host:0", "host:65536", "host:99999999", "host:11a", ":110",
                                 "[::1", "[::1]x", "[::1]:", "[]:110", "a b:110", "pop3s://", "pop3s://host:0",
                                 "imap://host", "pop3s://host/x", "pop3s:/host"}) {
        EXPECT_FALSE(ParseServerAddress(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace nmail
