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
          Case{"*.example.test", "XN--bcher-kva.example.test", true}, Case{"*.test", "pop.test", false},
          Case{"*", "localhost", false}, Case{"p*.example.test", "pop.example.test", false},
          Case{"pop.*.test", "pop.example.test", false}, Case{"*.*.test", "pop.example.test", false},
          Case{"pop..test", "pop..test", false}, Case{"", "", false},
          // A wildcard straight over a second-level domain anyone registers under, and real hosting ones.
          Case{"*.co.jp", "example.co.jp", false}, Case{"*.Tokyo.JP", "example.tokyo.jp", false},
          Case{"*.lg.jp", "city.lg.jp", false}, Case{"*.com.au", "example.com.au", false},
          Case{"*.gov.uk", "example.gov.uk", false}, Case{"*.example.co.jp", "mail.example.co.jp", true},
          Case{"*.sakura.ne.jp", "taro.sakura.ne.jp", true}, Case{"*.xserver.jp", "sv1.xserver.jp", true},
          Case{"*.example.jp", "xn--wgv71a.example.jp", true}, Case{"*.com.test", "example.com.test", true},
          // Only printable ASCII, in the entry and in the host.
          Case{"\xe3\x81\x82.test", "\xe3\x81\x82.test", false}, Case{"a b.test", "a b.test", false},
          Case{"*.example.test", "\x7f.example.test", false}}) {
        EXPECT_EQ(DnsNameMatches(c.entry, c.host), c.matches) << c.entry << " " << c.host;
    }
}

TEST(CertificateName, NumericFormsAreAddressesAndNeverTheServerName) {
    const std::string loopback("\x7f\0\0\x01", 4);
    for (const char* host : {"127.0.0.1", "127.1", "0x7f.0.0.1", "2130706433"}) {
        EXPECT_EQ(IpAddressBytes(host), loopback) << host;
        EXPECT_EQ(ServerNameIndication(host), "") << host;
    }
    EXPECT_EQ(IpAddressBytes("fe80::1%1"), std::string("\xfe\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\x01", 16));
    EXPECT_EQ(ServerNameIndication("fe80::1%1"), "");
    EXPECT_EQ(IpAddressBytes("pop.example.test"), "");
    EXPECT_EQ(ServerNameIndication("mail.example.jp."), "mail.example.jp");
    // The name "127.1" in a DNS entry does not stand for the address.
    CertificateNames names{{"127.1"}, {}};
    EXPECT_EQ(CheckNames(names, "127.1").failure, TlsFailure::NameMismatch);
    names.ips = {loopback};
    EXPECT_EQ(CheckNames(names, "127.1").failure, TlsFailure::None);
    names.unreadable = true;
    EXPECT_EQ(CheckNames(names, "127.1").failure, TlsFailure::NamesUnreadable);
}

TEST(CertificateName, AddressesMatchOnlyIpEntriesAndTheReaderSeesTheFirstFew) {
    CertificateNames names{{"127.0.0.1", "a.test", "b.test"}, {std::string("\x7f\0\0\x01", 4)}};
    EXPECT_TRUE(NamesHost(names, "127.0.0.1", std::string("\x7f\0\0\x01", 4)));
    EXPECT_FALSE(NamesHost(names, "127.0.0.2", std::string("\x7f\0\0\x02", 4)));
    EXPECT_TRUE(NamesHost(names, "a.test", ""));
    EXPECT_EQ(NamesForReader(names), L"127.0.0.1, a.test, b.test, ...");
    names.ips = {std::string("\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x01", 16),
                 std::string("\x20\x01\x0d\xb8\0\0\0\x01\0\0\0\0\0\0\0\x01", 16),
                 std::string("\x20\x01\x0d\xb8\0\0\0\0\0\x01\0\0\0\0\0\0", 16), std::string(16, '\0')};
    EXPECT_EQ(NamesForReader(names, 9), L"127.0.0.1, a.test, b.test, ::1, 2001:db8:0:1::1, 2001:db8:0:0:1::, ::");
    // A NUL or a byte outside ASCII in an entry matches nothing and cannot cut the text short.
    names = {{std::string("a.test\0.evil", 12), "\xe3\x81\x82.test"}, {}};
    EXPECT_FALSE(NamesHost(names, "a.test", ""));
    EXPECT_EQ(NamesForReader(names), L"a.test?.evil, ???.test");
    // A long name is cut, so that the advice after the names still fits the box.
    names = {{std::string(64, 'a'), std::string(65, 'b')}, {}};
    EXPECT_EQ(NamesForReader(names), std::wstring(64, L'a') + L", " + std::wstring(64, L'b') + L"…");
}

}  // namespace
}  // namespace nmail
