// Server setting forms: plain host, host:port, bracketed IPv6 with and without port, the pop3s:// and pop3://
// schemes and port 995, and refusals.
#include "platform/nmail/ServerAddress.h"

#include <gtest/gtest.h>

namespace nmail {
namespace {

TEST(ServerAddress, AcceptedFormsAndSchemes) {
    struct Row {
        std::string_view text, host, port;
        Security security = Security::StlsOffered;
    };
    for (const Row& row : {
             Row{"pop.example.jp", "pop.example.jp", "110"},
             Row{"pop.example.jp:995", "pop.example.jp", "995", Security::Tls},
             Row{"pop.example.jp:0995", "pop.example.jp", "0995", Security::Tls},
             Row{"127.0.0.1:1100", "127.0.0.1", "1100"},
             Row{"[::1]:2110", "::1", "2110"},
             Row{"[::1]", "::1", "110"},
             Row{"::1", "::1", "110"},
             Row{"  pop.example.jp:110 \r\n", "pop.example.jp", "110"},
             Row{"host:65535", "host", "65535"},
             // The schemes: pop3s:// is TLS from the start on any port, pop3:// never asks for STLS.
             Row{"pop3s://pop.example.jp", "pop.example.jp", "995", Security::Tls},
             Row{"POP3S://pop.example.jp:1995/", "pop.example.jp", "1995", Security::Tls},
             Row{"pop3s://[::1]", "::1", "995", Security::Tls},
             Row{"pop3://pop.example.jp", "pop.example.jp", "110", Security::Plain},
             Row{"pop3://127.0.0.1:995", "127.0.0.1", "995", Security::Plain},
             Row{" pop3://[::1]:2110 ", "::1", "2110", Security::Plain},
         }) {
        auto a = ParseServerAddress(row.text);
        if (!a) {
            ADD_FAILURE() << "refused: " << row.text;
            continue;
        }
        EXPECT_EQ(a->host, row.host) << row.text;
        EXPECT_EQ(a->port, row.port) << row.text;
        EXPECT_EQ(a->security, row.security) << row.text;
    }
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
