// The name rules on their own, for what a real server test cannot reach cheaply: case, final dots, and the
// odd entries a certificate might hold.
#include "platform/nmail/CertificateName.h"

#include <gtest/gtest.h>

namespace nmail {
namespace {

TEST(CertificateName, DnsEntriesMatchLikeBrowsers) {
    struct Case {
        const char* entry;
        const char* host;
        bool matches;
    };
    for (const Case& c :
         {Case{"POP.Example.TEST", "pop.example.test.", true}, Case{"*.example.test.", "Pop.EXAMPLE.test", true},
          Case{"*.example.test", "example.test", false}, Case{"*.example.test", "a.pop.example.test", false},
          Case{"*.example.test", "XN--bcher-kva.example.test", false}, Case{"*.test", "pop.test", false},
          Case{"*", "localhost", false}, Case{"p*.example.test", "pop.example.test", false},
          Case{"pop.*.test", "pop.example.test", false}, Case{"*.*.test", "pop.example.test", false},
          Case{"pop..test", "pop..test", false}, Case{"", "", false}}) {
        EXPECT_EQ(DnsNameMatches(c.entry, c.host), c.matches) << c.entry << " " << c.host;
    }
}

TEST(CertificateName, AddressesMatchOnlyIpEntriesAndTheReaderSeesTheFirstFew) {
    CertificateNames names{{"127.0.0.1", "a.test", "b.test"}, {std::string("\x7f\0\0\x01", 4)}};
    EXPECT_TRUE(NamesHost(names, "127.0.0.1", std::string("\x7f\0\0\x01", 4)));
    EXPECT_FALSE(NamesHost(names, "127.0.0.2", std::string("\x7f\0\0\x02", 4)));
    EXPECT_TRUE(NamesHost(names, "a.test", ""));
    EXPECT_EQ(NamesForReader(names), L"127.0.0.1, a.test, b.test, ...");
    names.ips = {std::string("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01", 16)};
    EXPECT_EQ(NamesForReader(names, 9), L"127.0.0.1, a.test, b.test, 0:0:0:0:0:0:0:1");
    // A NUL or a byte outside ASCII in an entry matches nothing and cannot cut the text short.
    names = {{std::string("a.test\0.evil", 12), "\xe3\x81\x82.test"}, {}};
    EXPECT_FALSE(NamesHost(names, "a.test", ""));
    EXPECT_EQ(NamesForReader(names), L"a.test?.evil, ???.test");
}

}  // namespace
}  // namespace nmail
