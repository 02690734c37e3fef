// The library against a real Dovecot POP3 server on loopback, started through tests/dovecot.
// The mailbox holds three Japanese messages; every test runs the mail check's call sequence or part of it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
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

constexpr int kMessages = 3;
constexpr const char* kUser = "alice";
constexpr const char* kPassword = "tanstaaf";

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

class Dovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/nmail-dovecot.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        chmod(dir, 0755);
        dir_ = dir;
        port_ = testing::FreeLoopbackPort();
        std::string fixture = DOVECOT_FIXTURE_DIR;
        pid_ = RunScript(fixture + "/start_dovecot.sh " + dir_ + " " + std::to_string(port_) + " " + kUser + " " +
                         kPassword + " " + std::to_string(kMessages));
    }

    static void TearDownTestSuite() {
        if (!dir_.empty()) {
            RunScript(std::string(DOVECOT_FIXTURE_DIR) + "/stop_dovecot.sh " + dir_);
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }

    void SetUp() override {
        ASSERT_FALSE(pid_.empty()) << "dovecot did not start (is dovecot-pop3d installed?)";
        ASSERT_EQ(NMailInitializeWinSock(), 0);
        NMailSetOption(kOptionTextCapacity, 8192);
        NMailSetOption(kOptionConnectTimeoutMs, 5000);
        NMailSetOption(kOptionResponseTimeoutMs, 10000);
    }

    void TearDown() override { NMailEndWinSock(); }

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
    static inline std::string pid_;
    static inline int port_ = 0;
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

}  // namespace
}  // namespace nmail
