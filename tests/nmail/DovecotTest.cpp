// The library against a real Dovecot POP3 server on loopback, started through tests/dovecot.
// The mailbox holds three Japanese messages; every test runs the mail check's call sequence or part of it.
// The server also speaks TLS (its own port and STLS) with a certificate from a test CA made for the run.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FakePop3Server.h"
#include "NMailTestSupport.h"

#ifndef DOVECOT_FIXTURE_DIR
#error "DOVECOT_FIXTURE_DIR must name tests/dovecot"
#endif

namespace nmail {
namespace {

using testing::Buffers;
using testing::Contains;
using testing::LastMessage;
using Then = testing::Reply::Then;

constexpr int kMessages = 3;
constexpr const char* kUser = "alice";
constexpr const char* kPassword = "tanstaaf";

// A fixture script's command, quoted for the shell: the checkout may live under a folder with blanks.
std::string Fixture(const std::string& script) {
    return "'" + std::string(DOVECOT_FIXTURE_DIR) + "/" + script + "'";
}

std::string RunScript(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p) != nullptr)
        out += buffer;
    int status = pclose(p);
    return status == 0 ? out : std::string();
}

// One Dovecot instance with TLS: plain port (offering STLS) and TLS port, serving `cert` from the certificates.
struct Instance {
    Instance(const std::string& directory,
             const std::string& certs,
             const std::string& cert,
             const std::string& options = "")
        : dir(directory) {
        std::filesystem::create_directories(dir);
        chmod(dir.c_str(), 0755);
        port = testing::FreeLoopbackPort();
        do
            tlsPort = testing::FreeLoopbackPort();
        while (tlsPort == port);
        pid = RunScript(Fixture("start_dovecot.sh") + " " + dir + " " + std::to_string(port) + " " + kUser + " " +
                        kPassword + " " + std::to_string(kMessages) + " --tls " + std::to_string(tlsPort) + " " +
                        certs + "/" + cert + ".pem " + certs + "/" + cert + ".key " + options);
    }
    ~Instance() { RunScript(Fixture("stop_dovecot.sh") + " " + dir); }

    // Dovecot's login lines so far.
    std::vector<std::string> Logins() const {
        std::ifstream log(dir + "/dovecot.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            if (line.find("Login: user=<") != std::string::npos)
                lines.push_back(line);
        }
        return lines;
    }

    std::string dir;
    std::string pid;
    int port = 0;
    int tlsPort = 0;
};

// Black-holes [::1]:port while it lives: a listener whose accept queue (of one) is full drops further SYNs,
// so a connect there stays unanswered, as on a network with an IPv6 route but no way out.
struct BlackHole {
    explicit BlackHole(int port) {
        sockaddr_in6 addr{AF_INET6, htons(uint16_t(port)), 0, in6addr_loopback, 0};
        auto* a = reinterpret_cast<sockaddr*>(&addr);
        if (bind(listener, a, sizeof addr) == 0 && listen(listener, 0) == 0)
            connect(filler, a, sizeof addr);
    }
    ~BlackHole() { close(filler), close(listener); }
    int listener = socket(AF_INET6, SOCK_STREAM, 0), filler = socket(AF_INET6, SOCK_STREAM, 0);
};

class Dovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/nmail-dovecot.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        chmod(dir, 0755);
        dir_ = dir;
        certs_ = dir_ + "/certs";
        if (RunScript(Fixture("make_certs.sh") + " " + certs_ + " && echo made").empty())
            return;
        server_ = new Instance(dir_ + "/server", certs_, "server");
        port_ = server_->port;
        tlsPort_ = server_->tlsPort;
        pid_ = server_->pid;
    }

    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }

    void SetUp() override {
        ASSERT_FALSE(pid_.empty()) << "dovecot did not start (are dovecot-pop3d and openssl installed?)";
        ASSERT_EQ(NMailInitializeWinSock(), 0);
        NMailSetOption(kOptionTextCapacity, 8192);
        NMailSetOption(kOptionConnectTimeoutMs, 5000);
        NMailSetOption(kOptionResponseTimeoutMs, 10000);
        ASSERT_EQ(NMailSetOption(kOptionExtraRootFile, certs_ + "/ca.pem"), 0);
    }

    void TearDown() override {
        NMailSetOption(kOptionExtraRootFile, "");
        NMailEndWinSock();
    }

    static std::string Server() { return "127.0.0.1:" + std::to_string(port_); }

    // The mail check's loop: status, size, a buffer of size + 1 spaces, fetch; checks each message as it goes.
    static void FetchAll(int h, int count) {
        for (int n = 1; n <= count; ++n) {
            Buffers buf;
            EXPECT_EQ(testing::Status(h, n, buf), 0) << n;
            EXPECT_NE(buf.A().find("=?ISO-2022-JP?B?"), std::string::npos) << n;
            int size = NMailPop3GetMailSize(h, n);
            ASSERT_GT(size, 0) << n;
            std::vector<char> fetch(size_t(size) + 1, ' ');
            ASSERT_EQ(NMailPop3GetMail(h, n, buf.a, buf.b, buf.c, buf.d, fetch, 0, 0), 0) << n;
            std::string body = fetch.data();
            // Header lines, the blank line and the body add up to the size the server listed.
            EXPECT_EQ(buf.D().size() + 2 + body.size(), size_t(size)) << n;
            EXPECT_NE(body.find(" " + std::to_string(n) + " \x1b$B"), std::string::npos) << n;
            EXPECT_NE(body.find("\r\n.\x1b$B"), std::string::npos) << "dot-stuffed line, message " << n;
            EXPECT_NE(body.find("\r\n..\r\n"), std::string::npos) << "line of two dots, message " << n;
        }
    }

    static inline std::string dir_;
    static inline std::string certs_;
    static inline std::string pid_;
    static inline int port_ = 0;
    static inline int tlsPort_ = 0;
    static inline Instance* server_ = nullptr;
};

TEST_F(Dovecot, PlainLoginFetchesEveryMessage) {
    int h = NMailPop3Connect(Server());
    ASSERT_GE(h, 0) << ::testing::PrintToString(LastMessage());
    ASSERT_EQ(NMailPop3Authenticate(h, kUser, kPassword, 0), kMessages);
    FetchAll(h, kMessages);
    EXPECT_EQ(NMailPop3Close(h), 0);
}

TEST_F(Dovecot, ApopLoginFetchesEveryMessage) {
    int h = NMailPop3Connect(Server());
    ASSERT_GE(h, 0);
    ASSERT_EQ(NMailPop3Authenticate(h, kUser, kPassword, -1), kMessages);
    FetchAll(h, kMessages);
    EXPECT_EQ(NMailPop3Close(h), 0);
}

TEST_F(Dovecot, WrongPasswordGivesNegativeCountAndServerText) {
    for (int apop : {0, -1}) {
        int h = NMailPop3Connect(Server());
        ASSERT_GE(h, 0);
        EXPECT_LT(NMailPop3Authenticate(h, kUser, "wrong", apop), 0);
        std::wstring text = LastMessage();
        EXPECT_TRUE(Contains(text, L"ログインできませんでした。サーバーの応答: -ERR")) << apop;
        EXPECT_TRUE(Contains(text, L"Authentication failed")) << apop;
        EXPECT_EQ(NMailPop3Close(h), 0);
    }
}

TEST_F(Dovecot, NothingIsDeleted) {
    for (int session = 0; session < 2; ++session) {
        int h = NMailPop3Connect(Server());
        ASSERT_GE(h, 0);
        ASSERT_EQ(NMailPop3Authenticate(h, kUser, kPassword, session), kMessages) << session;
        FetchAll(h, kMessages);
        EXPECT_EQ(NMailPop3Close(h), 0);
    }
}

TEST_F(Dovecot, TlsPortAndStlsFetchEveryMessageEncrypted) {
    std::string tls = std::to_string(tlsPort_);
    // ("127.1" is left to the unit tests: nss_wrapper reads only the strict forms as numeric.)
    for (const std::string& server :
         {"pop3s://localhost:" + tls, "pop3s://127.0.0.1:" + tls, Server(), "pop3s://localhost.:" + tls}) {
        int h = NMailPop3Connect(server);
        ASSERT_GE(h, 0) << server << " " << ::testing::PrintToString(LastMessage());
        ASSERT_EQ(NMailPop3Authenticate(h, kUser, kPassword, server == Server() ? -1 : 0), kMessages) << server;
        FetchAll(h, kMessages);
        EXPECT_EQ(NMailPop3Close(h), 0);
        EXPECT_NE(server_->Logins().back().find(" TLSv1."), std::string::npos) << server_->Logins().back();
        // SNI names the host without a final dot, never an address (Dovecot leaves out an empty one).
        bool named = server.find("localhost") != std::string::npos;
        std::string login = server_->Logins().back();
        EXPECT_EQ(login.find(named ? "sni=<localhost>" : "sni=") != std::string::npos, named) << login;
    }
    // The way out for a server whose certificate cannot be checked: clear text, STLS left alone.
    int h = NMailPop3Connect("pop3://" + Server());
    ASSERT_EQ(NMailPop3Authenticate(h, kUser, kPassword, 0), kMessages);
    EXPECT_EQ(NMailPop3Close(h), 0);
    EXPECT_EQ(server_->Logins().back().find(" TLSv1."), std::string::npos) << server_->Logins().back();
}

TEST_F(Dovecot, UntrustedExpiredOrWrongNameCertificateEndsTheConnectionBeforeLogin) {
    Instance other(dir_ + "/other", certs_, "other");
    Instance self(dir_ + "/self", certs_, "self");
    Instance expired(dir_ + "/expired", certs_, "expired");
    Instance client(dir_ + "/client", certs_, "client");
    Instance tld(dir_ + "/tld", certs_, "tld");
    Instance cnOnly(dir_ + "/cnonly", certs_, "cnonly");
    Instance names(dir_ + "/names", certs_, "names");
    for (const Instance* i : {&other, &self, &expired, &client, &tld, &cnOnly, &names})
        ASSERT_FALSE(i->pid.empty()) << i->dir;
    // A server that takes no version we offer.
    testing::FakePop3Server old(testing::Reply({std::string("\x15\x03\x01\x00\x02\x02\x46", 7)}, Then::Close));
    // One that picks TLS 1.1: our engine refuses it with the same alert.
    const std::string tls11Hello = std::string("\x16\x03\x02\x00\x2a\x02\x00\x00\x26\x03\x02", 11) +
                                   std::string(32, '\x01') + std::string("\x00\xc0\x13\x00", 4);
    testing::FakePop3Server tls11(testing::Reply({tls11Hello}, Then::Close));
    const std::wstring mismatch = L"名前が POP3 サーバー名と一致しないため、接続を切りました。\r\n";
    struct Case {
        std::string server;
        std::wstring reason;
    };
    for (const Case& c :
         {Case{"pop3s://localhost:" + std::to_string(other.tlsPort),
               mismatch + L"証明書にある名前: other.example\r\nPOP3 サーバーの設定を証明書にある名前にするか、"
                          L"暗号化しない接続でよければ「pop3://localhost」にしてください。"},
          Case{"localhost:" + std::to_string(other.port), L"「pop3://localhost:" + std::to_wstring(other.port)},
          Case{"pop3s://localhost:" + std::to_string(self.tlsPort),
               L"発行者が信頼されていないため、接続を切りました。\r\n発行者: localhost\r\n"
               L"暗号化しない接続でよければ、POP3 サーバーの設定を「pop3://localhost」にしてください。"},
          Case{"127.0.0.1:" + std::to_string(self.port), L"発行者が信頼されていない"},
          Case{"pop3s://localhost:" + std::to_string(expired.tlsPort), L"有効期限が切れている"},
          Case{"pop3s://localhost:" + std::to_string(client.tlsPort), L"サーバー用のものではない"},
          Case{"pop3s://pop.test:" + std::to_string(tld.tlsPort), mismatch + L"証明書にある名前: *.test\r\n"},
          Case{"pop3s://localhost:" + std::to_string(cnOnly.tlsPort),
               mismatch + L"この証明書には、サーバー名を示す欄 (subjectAltName) に名前がありません。\r\n"},
          Case{"pop3s://pop.partial.test:" + std::to_string(names.tlsPort),
               mismatch + L"証明書にある名前: *.example.test, p*.partial.test, 127.0.0.1\r\n"},
          Case{"pop3s://127.0.0.1:" + std::to_string(names.tlsPort), mismatch},
          Case{"pop3s://" + old.address(),
               L"サーバーが TLS 1.2 以降に対応していないため、接続を切りました。\r\n暗号化しない接続でよければ"},
          Case{"pop3s://" + tls11.address(), L"サーバーが TLS 1.2 以降に対応していない"}}) {
        EXPECT_EQ(NMailPop3Connect(c.server), -1) << c.server;
        EXPECT_TRUE(Contains(LastMessage(), c.reason)) << c.server << " " << ::testing::PrintToString(LastMessage());
    }
    // Without the test CA the good server is a stranger too.
    NMailSetOption(kOptionExtraRootFile, "");
    EXPECT_EQ(NMailPop3Connect("pop3s://localhost:" + std::to_string(tlsPort_)), -1);
    EXPECT_TRUE(
        Contains(LastMessage(), L"発行者が信頼されていないため、接続を切りました。\r\n発行者: Sorabune Test CA"));
    for (const Instance* i : {&other, &self, &expired, &client, &tld, &cnOnly, &names})
        EXPECT_TRUE(i->Logins().empty()) << i->dir;
}

TEST_F(Dovecot, WildcardForOneLabelAndTls13OnlyServerAreAccepted) {
    Instance names(dir_ + "/names-good", certs_, "names");
    Instance tls13(dir_ + "/tls13", certs_, "server", "--tls-min TLSv1.3");
    ASSERT_FALSE(names.pid.empty());
    ASSERT_FALSE(tls13.pid.empty());
    for (const std::string& server : {"pop3s://pop.example.test:" + std::to_string(names.tlsPort),
                                      "pop3s://xn--bcher-kva.example.test.:" + std::to_string(names.tlsPort),
                                      "pop3s://localhost:" + std::to_string(tls13.tlsPort)}) {
        int h = NMailPop3Connect(server);
        ASSERT_GE(h, 0) << server << " " << ::testing::PrintToString(LastMessage());
        EXPECT_EQ(NMailPop3Authenticate(h, kUser, kPassword, 0), kMessages) << server;
        EXPECT_EQ(NMailPop3Close(h), 0);
    }
    EXPECT_NE(tls13.Logins().back().find(" TLSv1.3 "), std::string::npos) << tls13.Logins().back();
}

// dual.test is ::1, then 127.0.0.1 (tests/dovecot/hosts); in clear, as the certificate does not name it.
TEST_F(Dovecot, SilentFirstAddressCostsAQuarterSecondAndRefusedOnesNothing) {
    NMailSetOption(kOptionConnectTimeoutMs, 15000);
    BlackHole hole(port_);
    auto start = std::chrono::steady_clock::now();
    int h = NMailPop3Connect("pop3://dual.test:" + std::to_string(port_));
    EXPECT_EQ(NMailPop3Authenticate(h, kUser, kPassword, 0), kMessages) << ::testing::PrintToString(LastMessage());
    std::chrono::duration<double> loggedIn = std::chrono::steady_clock::now() - start;
    NMailPop3Close(h);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(NMailPop3Connect("dual.test:" + std::to_string(testing::FreeLoopbackPort())), -1);
    std::chrono::duration<double> refused = std::chrono::steady_clock::now() - start;
    std::printf("black hole: logged in after %.3f s; both refused: %.3f s\n", loggedIn.count(), refused.count());
    EXPECT_GE(loggedIn.count(), 0.25) << "the first address was not silent";
    EXPECT_TRUE(loggedIn.count() < 2 && refused.count() < 1);
}

}  // namespace
}  // namespace nmail
