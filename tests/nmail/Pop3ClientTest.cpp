// The library through its public functions against a scripted server: connecting, logging in, fetching,
// and how it fails (server refusals, malformed or endless replies, silence, dropped connections).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "FakePop3Server.h"
#include "NMailTestSupport.h"
#include "ScriptedStream.h"
#include "platform/nmail/CommandPipe.h"
#include "platform/nmail/HelperThread.h"
#include "platform/nmail/Messages.h"
#include "platform/nmail/Pop3Session.h"
#include "platform/nmail/Socket.h"

namespace nmail {
namespace {

using testing::Buffers;
using testing::Contains;
using testing::FakePop3Server;
using testing::LastMessage;
using testing::Reply;
using testing::ScriptedStream;
using Then = Reply::Then;
using namespace std::chrono_literals;

class NMail : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(NMailInitializeWinSock(), 0);
        NMailSetOption(kOptionTextCapacity, 8192);
        NMailSetOption(kOptionConnectTimeoutMs, 5000);
        NMailSetOption(kOptionResponseTimeoutMs, 5000);
    }
    void TearDown() override { NMailEndWinSock(); }

    // Connects and logs in with USER/PASS; the server's STAT says `count`.
    int LoggedIn(FakePop3Server& server, int count = 2) {
        server.On("STAT", "+OK " + std::to_string(count) + " 1000\r\n");
        int h = NMailPop3Connect(server.address());
        EXPECT_GE(h, 0);
        EXPECT_EQ(NMailPop3Authenticate(h, "alice", "secret", 0), count);
        return h;
    }

    // After a connection died: a later call returns at once, even with a long limit, and sends nothing.
    void ExpectDeadAtOnce(FakePop3Server& server, int h) {
        NMailSetOption(kOptionResponseTimeoutMs, 30000);
        size_t before = server.Received().size();
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NMailPop3GetMailSize(h, 1), kConnectionGone);
        Buffers buf;
        EXPECT_EQ(testing::Fetch(h, 1, buf), kConnectionGone);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_TRUE(Contains(LastMessage(), L"接続がすでに切れている"));
        EXPECT_EQ(NMailPop3Close(h), 0);
        EXPECT_EQ(server.Received().size(), before);
    }
};

std::string Message(std::string header, std::string bodyOnWire) {
    return "+OK message follows\r\n" + header + "\r\n" + bodyOnWire + ".\r\n";
}

// --- Connecting ---

TEST_F(NMail, ConnectsByHostPortBracketedIpv6AndName) {
    FakePop3Server v4;
    FakePop3Server v6("+OK ready <1.2@x>\r\n", true);
    for (const std::string& server :
         {v4.address(), v6.address(), "localhost:" + std::to_string(v4.port()), "[::1]:" + std::to_string(v6.port())}) {
        int h = NMailPop3Connect(server);
        EXPECT_GE(h, 0) << server;
        EXPECT_EQ(NMailPop3Close(h), 0);
    }
    EXPECT_TRUE(v6.ReceivedVerb("QUIT"));
}

TEST_F(NMail, ConnectFailuresGiveMinusOneAndAText) {
    EXPECT_EQ(NMailPop3Connect(""), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"サーバー名が正しくありません"));
    EXPECT_EQ(NMailPop3Connect("127.0.0.1:99999"), -1);
    EXPECT_EQ(NMailPop3Connect("127.0.0.1:" + std::to_string(testing::FreeLoopbackPort())), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"接続できませんでした"));
}

// A connection the program never gets to use: what the server said or did, and the text that says so.
TEST_F(NMail, RefusedConnectionsGiveMinusOneAndAText) {
    const Reply kGreeting = "+OK POP3 ready <1896.697170952@dbc.mtview.ca.us>\r\n";
    std::string endlessCapabilities = "+OK\r\n";
    for (int i = 0; i < 2000; ++i)
        endlessCapabilities += "X-" + std::to_string(i) + "\r\n";
    struct Row {
        const char* name;
        Reply greeting;
        std::vector<std::pair<std::string, Reply>> replies;
        std::string scheme;
        int connectMs, responseMs;
        std::vector<std::wstring> texts;
        std::vector<std::string> sent;            // when not empty: every command line the server saw
        std::vector<const char*> neverSent = {};  // verbs
    };
    // clang-format off
    const Row rows[] = {
        {"greeting -ERR", "-ERR too busy\r\n", {}, "", 5000, 5000,
         {L"受け付けませんでした。サーバーの応答: -ERR too busy"}, {}},
        {"silent greeting", Reply({""}, Then::GoSilent), {}, "", 5000, 200, {L"時間内に届きませんでした"}, {}},
        // No pause reaches the limit, the line as a whole does.
        {"trickling greeting", Reply({"+", "O", "K", " ", "x", "\r\n"}, Then::Continue, 120ms), {}, "", 5000, 300,
         {L"時間内に届きませんでした"}, {}},
        {"STLS refused", kGreeting, {{"CAPA", "+OK\r\nSTLS\r\n.\r\n"}, {"STLS", "-ERR TLS not available\r\n"}}, "",
         5000, 5000, {L"STLS (暗号化通信の開始) を受け付けなかった", L"-ERR TLS not available"}, {"CAPA", "STLS"}},
        {"TLS port, plain server", kGreeting, {}, "pop3s://", 5000, 5000, {L"TLS (暗号化通信) を使っていません"}, {},
         {"CAPA", "QUIT"}},
        // The start of a handshake record, then silence.
        {"TLS port, stalled handshake", Reply({std::string("\x16\x03\x03\x00", 4)}, Then::GoSilent), {}, "pop3s://",
         300, 5000, {L"準備が時間内に終わりませんでした"}, {}},
        {"endless capability list", kGreeting, {{"CAPA", Reply({endlessCapabilities}, Then::GoSilent)}}, "", 5000, 5000,
         {L"長すぎます"}, {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server server(row.greeting);
        for (const auto& [verb, reply] : row.replies)
            server.On(verb, reply);
        NMailSetOption(kOptionConnectTimeoutMs, row.connectMs);
        NMailSetOption(kOptionResponseTimeoutMs, row.responseMs);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NMailPop3Connect(row.scheme + server.address()), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        for (const std::wstring& text : row.texts)
            EXPECT_TRUE(Contains(LastMessage(), text)) << platform::ToAnsi(text);
        if (!row.sent.empty()) {
            EXPECT_EQ(server.Received(), row.sent);
        }
        for (const char* verb : row.neverSent)
            EXPECT_FALSE(server.ReceivedVerb(verb)) << verb;
    }
}

// A time-out comes at its deadline, not the fraction of a millisecond before it that the wait rounds off.
TEST_F(NMail, TimeOutComesAtItsDeadline) {
    FakePop3Server silent(Reply({""}, Then::GoSilent));
    ConnectFailure failure;
    auto stream = ConnectTcp("127.0.0.1", std::to_string(silent.port()), Clock::now() + 5s, failure);
    char c;
    size_t got = 0;
    const Deadline deadline = Clock::now() + 10500us;
    ASSERT_TRUE(stream && stream->Read(&c, 1, got, deadline) == IoResult::TimedOut && Clock::now() >= deadline);
}

TEST_F(NMail, InvalidHandlesFailWithoutHarm) {
    for (int h : {-1, 0, 15, 16, 1000}) {
        EXPECT_LT(NMailPop3Authenticate(h, "u", "p", 0), 0);
        EXPECT_LT(NMailPop3GetMailSize(h, 1), 0);
        Buffers buf;
        EXPECT_LT(testing::Status(h, 1, buf), 0);
        EXPECT_LT(testing::Fetch(h, 1, buf), 0);
        EXPECT_EQ(NMailPop3Close(h), -1);
    }
    EXPECT_TRUE(Contains(LastMessage(), L"接続ハンドルが正しくありません"));
}

TEST_F(NMail, EndWinSockClosesOpenConnections) {
    FakePop3Server server;
    int h = LoggedIn(server);
    NMailEndWinSock();
    ASSERT_EQ(NMailInitializeWinSock(), 0);
    EXPECT_LT(NMailPop3GetMailSize(h, 1), 0);
    EXPECT_EQ(NMailPop3Close(h), -1);
    // The server serves one client at a time: it greets a new one only once it saw the first one's end.
    NMailSetOption(kOptionResponseTimeoutMs, 2000);
    EXPECT_EQ(NMailPop3Close(LoggedIn(server)), 0);
}

// --- Encryption: STLS, the TLS port and pop3:// ---

TEST_F(NMail, StlsListedInCapaIsUsedAndNothingFallsBackToClear) {
    FakePop3Server server;
    server.On("CAPA", "+OK\r\nTOP\r\nstls\r\n.\r\n");
    // Agrees, then answers the handshake in clear, as a broken server would.
    server.On("STLS",
              Reply({"+OK begin TLS\r\n", "+OK not TLS at all\r\n"}, Then::Continue, std::chrono::milliseconds(300)));
    EXPECT_EQ(NMailPop3Connect(server.address()), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"TLS (暗号化通信) を使っていません"));
    std::vector<std::string> received = server.Received();  // Then the handshake's bytes, cut at line feeds.
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], "CAPA");
    EXPECT_EQ(received[1], "STLS");
    EXPECT_FALSE(server.ReceivedVerb("USER") || server.ReceivedVerb("PASS") || server.ReceivedVerb("QUIT"));
}

TEST(Pop3Session, StlsForgetsTheCapabilitiesListedInClearAndAsksAgain) {
    auto owned = std::make_unique<ScriptedStream>();
    ScriptedStream& stream = *owned;
    stream.Add("+OK ready\r\n");
    stream.Add("+OK\r\nSTLS\r\nPIPELINING\r\n.\r\n");
    stream.Add("+OK begin TLS\r\n");
    Pop3Session session(std::move(owned), 1s);
    ASSERT_TRUE(session.Start() && session.ReadCapabilities());
    bool pipeliningDuringHandshake = true;
    ASSERT_TRUE(session.StartTls([&] {
        pipeliningDuringHandshake = session.HasCapability("PIPELINING");
        stream.Add("+OK\r\nTOP\r\n.\r\n");  // what the server lists under TLS
        return true;
    }));
    EXPECT_FALSE(pipeliningDuringHandshake);
    EXPECT_FALSE(session.HasCapability("PIPELINING"));
    EXPECT_TRUE(session.HasCapability("TOP"));
    EXPECT_EQ(stream.written, "CAPA\r\nSTLS\r\nCAPA\r\n");
}

// --- Logging in ---

// What a login sends. The server greets with the timestamp of the APOP example in the POP3 standard.
TEST_F(NMail, LoginTranscripts) {
    struct Row {
        const char* name;
        std::string scheme;
        const char* capabilities;  // null: CAPA refused
        const char* stat;
        const char *user, *password;
        int apop, count;
        bool readFirstHeader;
        std::vector<std::string> sent;
    };
    // clang-format off
    const Row rows[] = {
        {"plain login: USER, PASS, then STAT", "", nullptr, "+OK 7 12345\r\n", "alice", "secret", 0, 7, false,
         {"CAPA", "USER alice", "PASS secret", "STAT", "QUIT"}},
        {"capabilities asked once, before login", "", "+OK list follows\r\nTOP\r\nUIDL\r\nSASL PLAIN\r\n.\r\n",
         "+OK 1 10\r\n", "alice", "secret", 0, 1, false, {"CAPA", "USER alice", "PASS secret", "STAT", "QUIT"}},
        {"APOP sends the digest of the greeting's timestamp", "", nullptr, "+OK 1 10\r\n", "mrose", "tanstaaf", -1, 1,
         false, {"CAPA", "APOP mrose c4c9334bac560ecc979e58001b3e22fb", "STAT", "QUIT"}},
        {"pop3:// asks CAPA for PIPELINING but never STLS", "pop3://", "+OK\r\nSTLS\r\nPIPELINING\r\n.\r\n",
         "+OK 2 20\r\n", "alice", "secret", 0, 2, true,
         {"CAPA", "USER alice", "PASS secret", "STAT", "LIST 1", "LIST 2", "TOP 1 0", "QUIT"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server server;
        if (row.capabilities)
            server.On("CAPA", row.capabilities);
        server.On("STAT", row.stat);
        int h = NMailPop3Connect(row.scheme + server.address());
        EXPECT_EQ(NMailPop3Authenticate(h, row.user, row.password, row.apop), row.count);
        Buffers buf;
        if (row.readFirstHeader)
            testing::Status(h, 1, buf);
        NMailPop3Close(h);
        EXPECT_EQ(server.Received(), row.sent);
    }
}

TEST_F(NMail, ApopWithoutValidTimestampNeverFallsBackToPlainLogin) {
    for (const char* greeting : {"+OK ready\r\n", "+OK ready <nostamp>\r\n", "+OK <a b@c>\r\n", "+OK <@host>\r\n",
                                 "+OK <proc@>\r\n", "+OK <open@host\r\n", "+OK <\x01@x>\r\n"}) {
        FakePop3Server server(greeting);
        int h = NMailPop3Connect(server.address());
        ASSERT_GE(h, 0) << greeting;
        EXPECT_LT(NMailPop3Authenticate(h, "alice", "secret", 1), 0) << greeting;
        EXPECT_TRUE(Contains(LastMessage(), L"APOP に対応していない")) << greeting;
        NMailPop3Close(h);
        EXPECT_EQ(server.Received(), (std::vector<std::string>{"CAPA", "QUIT"})) << greeting;
    }
}

TEST_F(NMail, ServerRefusalAtEachLoginStepGivesNegativeCountAndReply) {
    struct Step {
        const char* verb;
        int apop;
    };
    for (Step step : {Step{"USER", 0}, Step{"PASS", 0}, Step{"APOP", 1}, Step{"STAT", 0}}) {
        FakePop3Server server;
        server.On(step.verb, "-ERR [AUTH] nope\r\n");
        int h = NMailPop3Connect(server.address());
        EXPECT_LT(NMailPop3Authenticate(h, "alice", "secret", step.apop), 0) << step.verb;
        std::wstring text = LastMessage();
        EXPECT_TRUE(Contains(text, L"サーバーの応答: -ERR [AUTH] nope")) << step.verb;
        EXPECT_TRUE(Contains(text, std::string_view(step.verb) == "STAT" ? L"件数" : L"ログインできませんでした"));
        EXPECT_EQ(NMailPop3Close(h), 0);
        EXPECT_EQ(server.Received().back(), "QUIT") << "the connection stayed in step";
    }
}

TEST_F(NMail, MalformedStatReplyIsAFailure) {
    FakePop3Server server;
    server.On("STAT", "+OK lots\r\n");
    int h = NMailPop3Connect(server.address());
    EXPECT_LT(NMailPop3Authenticate(h, "alice", "secret", 0), 0);
    EXPECT_TRUE(Contains(LastMessage(), L"+OK lots"));
}

TEST_F(NMail, LineBreaksOrNulInCredentialsAreNeverSent) {
    using namespace std::string_literals;
    for (auto [user, pass] : {std::pair{"alice\r\nDELE 1"s, "secret"s}, std::pair{"alice"s, "sec\nret"s},
                              std::pair{"alice"s, "sec\rret"s}, std::pair{"ali\0ce"s, "secret"s}}) {
        for (int apop : {0, 1}) {
            FakePop3Server server;
            int h = NMailPop3Connect(server.address());
            EXPECT_LT(NMailPop3Authenticate(h, user, pass, apop), 0);
            EXPECT_TRUE(Contains(LastMessage(), L"使えない文字"));
            NMailPop3Close(h);
            EXPECT_EQ(server.Received(), (std::vector<std::string>{"CAPA", "QUIT"}));
        }
    }
}

// --- Fetching ---

TEST_F(NMail, StatusAndMailFillFieldsHeaderAndBody) {
    FakePop3Server server;
    const std::string header = "Subject: =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=\r\nDate: Mon, 1 Jan 2024\r\nFrom: a@b\r\n";
    server.On("TOP", Message(header, ""));
    server.On("RETR", Message(header, "Hello\r\n"));
    server.On("LIST", "+OK 1 97\r\n");
    int h = LoggedIn(server);
    Buffers buf;
    EXPECT_EQ(testing::Status(h, 1, buf), 0);
    EXPECT_EQ(buf.A(), "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=");
    EXPECT_STREQ(buf.b.data(), "Mon, 1 Jan 2024");
    EXPECT_STREQ(buf.c.data(), "a@b");
    EXPECT_EQ(buf.D(), header);
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 97);
    EXPECT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.Body(), "Hello\r\n");
    NMailPop3Close(h);
    EXPECT_EQ(server.Received()[4], "TOP 1 0");
    EXPECT_EQ(server.Received()[5], "LIST 1");
    EXPECT_EQ(server.Received()[6], "RETR 1");
    EXPECT_FALSE(server.ReceivedVerb("DELE"));
    EXPECT_EQ(server.MostWaiting(), 1u) << "without PIPELINING, one command at a time";
}

// A server that lists PIPELINING, with replies of its own for each message.
void PipeliningServer(FakePop3Server& server, int messages) {
    server.On("CAPA", "+OK\r\nTOP\r\nPIPELINING\r\n.\r\n");
    for (int n = 1; n <= messages; ++n) {
        std::string s = std::to_string(n);
        server.On("TOP " + s + " 0", Message("Subject: s" + s + "\r\n", ""));
        server.On("LIST " + s, "+OK " + s + " 10" + s + "\r\n");
        server.On("RETR " + s, Message("Subject: s" + s + "\r\n", "body " + s + "\r\n"));
    }
}

TEST_F(NMail, PipeliningSendsTheNextCommandsAheadAndEveryCallGetsItsOwnReply) {
    FakePop3Server server;
    PipeliningServer(server, 3);
    server.On("TOP 2 0", "-ERR gone\r\n");  // one line where a header was expected
    int h = LoggedIn(server, 3);
    Buffers buf;
    ASSERT_EQ(testing::Status(h, 1, buf), 0);
    EXPECT_EQ(buf.A(), "s1");
    // Out of the predicted order: the replies before message 3's body are read and dropped.
    ASSERT_EQ(testing::Fetch(h, 3, buf), 0);
    EXPECT_EQ(buf.Body(), "body 3\r\n");
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 101);  // from what LIST said on the way
    ASSERT_EQ(testing::Fetch(h, 2, buf), 0);
    EXPECT_EQ(buf.Body(), "body 2\r\n");
    EXPECT_EQ(buf.A(), "s2");
    EXPECT_EQ(NMailPop3Close(h), 0);

    // LIST goes ahead, and RETR only once LIST has given the size.
    std::vector<std::string> received = server.Received();
    std::vector<std::string> ahead = {"LIST 1",  "LIST 2", "LIST 3",  "TOP 1 0", "RETR 1",
                                      "TOP 2 0", "RETR 2", "TOP 3 0", "RETR 3",  "RETR 2"};
    ASSERT_GE(received.size(), 4 + ahead.size());
    EXPECT_EQ(std::vector<std::string>(received.begin() + 4, received.begin() + 4 + long(ahead.size())), ahead);
    EXPECT_EQ(received.back(), "QUIT");
    EXPECT_GT(server.MostWaiting(), 3u);
}

TEST_F(NMail, PipelinedCheckNeverAsksRetrForAMessageWithoutASize) {
    // Message 3 is deleted by another client during the check.
    FakePop3Server server;
    PipeliningServer(server, 5);
    for (const char* command : {"TOP 3 0", "LIST 3", "RETR 3"})
        server.On(command, "-ERR no such message\r\n");
    int h = LoggedIn(server, 5);
    Buffers buf;
    for (int n = 1; n <= 5; ++n) {
        std::string s = std::to_string(n);
        int status = testing::Status(h, n, buf);
        int size = NMailPop3GetMailSize(h, n);
        if (n == 3) {
            EXPECT_EQ(status, -1);
            EXPECT_EQ(size, -1);
            EXPECT_TRUE(Contains(LastMessage(), L"メール 3 番のサイズを取得できませんでした。サーバーの応答: -ERR"));
            continue;
        }
        ASSERT_EQ(status, 0);
        EXPECT_EQ(buf.A(), "s" + s);
        ASSERT_EQ(size, std::stoi("10" + s));
        ASSERT_EQ(testing::Fetch(h, n, buf), 0);
        EXPECT_EQ(buf.Body(), "body " + s + "\r\n");
    }
    NMailPop3Close(h);
    std::vector<std::string> received = server.Received();
    EXPECT_EQ(std::count(received.begin(), received.end(), "RETR 3"), 0);

    // A server that gives no size at all is never asked for a whole message.
    FakePop3Server refusing;
    PipeliningServer(refusing, 0);
    refusing.On("TOP", Message("Subject: s\r\n", ""));
    refusing.On("LIST", "-ERR no\r\n");
    h = LoggedIn(refusing, 100);
    for (int n = 1; n <= 70; ++n) {
        ASSERT_EQ(testing::Status(h, n, buf), 0);
        ASSERT_EQ(NMailPop3GetMailSize(h, n), -1);
    }
    NMailPop3Close(h);
    EXPECT_FALSE(refusing.ReceivedVerb("RETR"));
    EXPECT_GT(refusing.MostWaiting(), 3u);
}

TEST_F(NMail, PipelinedCheckInOrderAndAnEarlyClose) {
    FakePop3Server server;
    PipeliningServer(server, 200);
    int h = LoggedIn(server, 200);
    Buffers buf;
    for (int n = 1; n <= 200; ++n) {
        std::string s = std::to_string(n);
        ASSERT_EQ(testing::Status(h, n, buf), 0);
        ASSERT_EQ(NMailPop3GetMailSize(h, n), std::stoi("10" + s));
        ASSERT_EQ(testing::Fetch(h, n, buf), 0);
        ASSERT_EQ(buf.Body(), "body " + s + "\r\n");
    }
    ASSERT_EQ(server.Received().size(), 4 + 600u) << "each command sent once";
    EXPECT_LE(server.MostWaiting(), CommandPipe::kWindowCommands) << "the window bounds what goes ahead";
    // Back to the start: the command asked for goes first, prediction after it.
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(server.Received().at(604), "RETR 1");
    NMailPop3Close(h);

    // Closing with replies still queued: they are dropped, QUIT is answered.
    h = LoggedIn(server, 200);
    ASSERT_EQ(testing::Status(h, 1, buf), 0);
    EXPECT_EQ(NMailPop3Close(h), 0);
    EXPECT_EQ(server.Received().back(), "QUIT");
}

TEST_F(NMail, DotStuffedLinesAndEmptyBodies) {
    FakePop3Server server;
    server.On("RETR", Message("Subject: dots\r\n", "..\r\n...\r\n..hidden\r\n. \r\nend\r\n"));
    int h = LoggedIn(server);
    Buffers buf;
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.Body(), ".\r\n..\r\n.hidden\r\n \r\nend\r\n");

    server.On("RETR", Message("Subject: empty\r\n", ""));
    ASSERT_EQ(testing::Fetch(h, 2, buf), 0);
    EXPECT_EQ(buf.Body(), "");
    EXPECT_EQ(buf.A(), "empty");

    server.On("RETR", "+OK\r\n.\r\n");
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.Body(), "");
    EXPECT_EQ(buf.D(), "");
}

TEST_F(NMail, ReplySplitAcrossReadsAtAwkwardPlaces) {
    FakePop3Server server;
    server.On("RETR", Reply({"+O", "K\r", "\nSubject: s\r\n\r\nfirst li", "ne\r", "\n.", ".dot\r\n", ".", "\r", "\n"}));
    server.On("LIST", Reply({"+OK 1 ", "42\r", "\n"}));
    int h = LoggedIn(server);
    Buffers buf;
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.Body(), "first line\r\n.dot\r\n");
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 42);
}

TEST_F(NMail, BareLineFeedsEndLines) {
    FakePop3Server server;
    server.On("STAT", "+OK 1 5\n");
    server.On("RETR", "+OK\nSubject: lf\n\none\ntwo\n.\n");
    server.On("LIST", "+OK 1 5\n");
    int h = NMailPop3Connect(server.address());
    ASSERT_EQ(NMailPop3Authenticate(h, "alice", "secret", 0), 1);
    Buffers buf;
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.A(), "lf");
    EXPECT_EQ(buf.Body(), "one\r\ntwo\r\n");
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 5);
}

TEST_F(NMail, BodyLargerThanBufferIsCutAndConnectionStaysInStep) {
    FakePop3Server server;
    std::string line(70, 'x');
    std::string body;
    for (int i = 0; i < 100; ++i)
        body += line + "\r\n";
    server.On("RETR", Message("Subject: big\r\n", body));
    server.On("LIST", "+OK 1 7216\r\n");
    int h = LoggedIn(server);

    std::vector<char> guarded(100 + 16, 'G');
    Buffers buf;
    std::span<char> body100(guarded.data(), 100);
    ASSERT_EQ(NMailPop3GetMail(h, 1, buf.a, buf.b, buf.c, buf.d, body100, 0, 0), 0);
    EXPECT_EQ(std::string(guarded.data()), body.substr(0, 99));
    EXPECT_EQ(std::string(guarded.begin() + 100, guarded.end()), std::string(16, 'G'));
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 7216);
}

TEST_F(NMail, LineLongerThanReadBufferIsDrainedAndConnectionStaysInStep) {
    FakePop3Server server;
    std::string huge(200 * 1024, 'z');
    server.On("RETR", Message("Subject: " + huge + "\r\n", huge + "\r\nshort\r\n"));
    server.On("LIST", "+OK 1 409624\r\n");
    int h = LoggedIn(server);
    Buffers buf(1000);
    ASSERT_EQ(testing::Fetch(h, 1, buf), 0);
    EXPECT_EQ(buf.A().size(), 8191u);
    EXPECT_EQ(buf.Body(), std::string(999, 'z'));
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), 409624);
}

TEST_F(NMail, TextBuffersHonourSpanSizeOptionAndEmptySpans) {
    FakePop3Server server;
    server.On("TOP", Message("Subject: 0123456789\r\nDate: 0123456789\r\nFrom: 0123456789\r\n", ""));
    int h = LoggedIn(server);
    std::array<char, 40> raw;
    raw.fill('G');
    std::span<char> all(raw);
    // a: 5 bytes, b: 0 bytes, c: 11 bytes (exactly fits), d: 8 bytes; guards between them.
    ASSERT_EQ(
        NMailPop3GetMailStatus(h, 1, all.subspan(0, 5), all.subspan(6, 0), all.subspan(7, 11), all.subspan(19, 8), 0),
        0);
    EXPECT_EQ(std::string(raw.data(), 6), std::string("0123\0G", 6));
    EXPECT_EQ(raw[6], 'G');
    EXPECT_EQ(std::string(raw.data() + 7, 12), std::string("0123456789\0G", 12));
    EXPECT_EQ(std::string(raw.data() + 19, 8), std::string("Subject\0", 8));
    EXPECT_EQ(std::string(raw.data() + 27, 13), std::string(13, 'G'));

    // Option 1 caps the text buffers, not the body.
    NMailSetOption(kOptionTextCapacity, 4);
    Buffers buf;
    ASSERT_EQ(testing::Status(h, 1, buf), 0);
    EXPECT_EQ(buf.A(), "012");
    EXPECT_EQ(buf.a[4], ' ');
}

TEST_F(NMail, ServerRefusalOfListTopRetrKeepsConnectionUsable) {
    FakePop3Server server;
    server.On("LIST", "-ERR no such message\r\n");
    server.On("TOP", "-ERR no TOP here\r\n");
    server.On("RETR", "-ERR no such message\r\n");
    int h = LoggedIn(server);
    Buffers buf;
    EXPECT_EQ(NMailPop3GetMailSize(h, 9), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"メール 9 番のサイズを取得できませんでした。サーバーの応答: -ERR no such"));
    EXPECT_EQ(testing::Status(h, 9, buf), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"-ERR no TOP here"));
    EXPECT_EQ(testing::Fetch(h, 9, buf), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"メール 9 番を受信できませんでした"));
    EXPECT_LT(NMailPop3GetMailSize(h, 0), 0);
    EXPECT_LT(NMailPop3GetMailSize(h, -3), 0);

    server.On("LIST", "+OK 2 300\r\n");
    EXPECT_EQ(NMailPop3GetMailSize(h, 1), -1);  // the size of another message
    EXPECT_EQ(NMailPop3GetMailSize(h, 2), 300);
}

TEST_F(NMail, CommandsBeforeLoginAreRefusedLocally) {
    FakePop3Server server;
    int h = NMailPop3Connect(server.address());
    EXPECT_LT(NMailPop3GetMailSize(h, 1), 0);
    EXPECT_TRUE(Contains(LastMessage(), L"ログインしていません"));
    NMailPop3Close(h);
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"CAPA", "QUIT"}));
}

// --- Dead connections ---

// A connection that broke under a call stays dead: LIST is asked by GetMailSize, RETR by GetMail.
TEST_F(NMail, BrokenReplyLeavesTheConnectionDead) {
    struct Row {
        const char* name;
        const char* verb;
        Reply reply;
        int responseMs;
        std::wstring text;
    };
    std::vector<Row> rows = {
        {"overlong status line", "LIST", "+OK " + std::string(9000, '9') + "\r\n", 5000, L"行が長すぎます"},
        {"silent server", "RETR", Reply({"+OK\r\nSubject: x\r\n\r\npart"}, Then::GoSilent), 200,
         L"時間内に届きませんでした"},
        {"disconnect mid-response", "RETR", Reply({"+OK\r\nSubject: x\r\n\r\nhalf a li"}, Then::Close), 5000,
         L"接続が切れました"},
    };
    // A garbage status is a desync: a status is the word alone, then a blank or the line's end.
    for (const char* garbage : {"* 1 EXISTS", "+OKAY 1 5", "-ERRx"})
        rows.push_back(
            {garbage, "LIST", std::string(garbage) + "\r\n", 5000, L"サーバーの応答: " + platform::FromAnsi(garbage)});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server server;
        server.On(row.verb, row.reply);
        int h = LoggedIn(server);
        NMailSetOption(kOptionResponseTimeoutMs, row.responseMs);
        Buffers buf;
        EXPECT_EQ(std::string_view(row.verb) == "LIST" ? NMailPop3GetMailSize(h, 1) : testing::Fetch(h, 1, buf),
                  kConnectionGone);
        EXPECT_TRUE(Contains(LastMessage(), row.text)) << platform::ToAnsi(LastMessage());
        ExpectDeadAtOnce(server, h);
    }
}

TEST_F(NMail, MultilineReplyIsBoundedInBytesAndTime) {
    FakePop3Server server;
    server.On("LIST", "+OK 1 100\r\n");
    server.On("RETR", Reply({"+OK\r\n" + std::string(300 * 1024, 'x') + "\r\n"}, Then::GoSilent));
    int h = LoggedIn(server);
    ASSERT_EQ(NMailPop3GetMailSize(h, 1), 100);
    Buffers buf;
    EXPECT_EQ(testing::Fetch(h, 1, buf), kConnectionGone);  // at once: 64 KiB past the size, not a time-out
    EXPECT_TRUE(Contains(LastMessage(), L"長すぎます"));
    NMailPop3Close(h);

    // One line every 100 ms: no pause reaches the limit, the reply as a whole does.
    FakePop3Server trickling;
    std::vector<std::string> lines(40, "line\r\n");
    lines.front() = "+OK\r\n";
    trickling.On("RETR", Reply(lines, Then::Continue, std::chrono::milliseconds(100)));
    h = LoggedIn(trickling);
    NMailSetOption(kOptionResponseTimeoutMs, 300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(testing::Fetch(h, 1, buf), kConnectionGone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(Contains(LastMessage(), L"時間内に終わりませんでした")) << platform::ToAnsi(LastMessage());
    NMailPop3Close(h);
}

// A reply of `counted` octets as the bound counts them: every line with two for its end, the final "." too.
std::string CountedReply(size_t counted) {
    std::string lines = "+OK\r\n";
    size_t left = counted - 3;
    for (; left > 1003; left -= 1002)
        lines += std::string(1000, 'x') + "\r\n";
    if (left > 0)
        lines += std::string(left - 2, 'x') + "\r\n";
    return lines + ".\r\n";
}

TEST_F(NMail, ByteBoundsAtTheirEdges) {
    struct Case {
        const char* list;  // empty: LIST not asked first
        const char* verb;
        size_t counted;
        bool passes;
    };
    const size_t header = Pop3Session::kMaxHeaderBytes;
    for (Case c : {Case{"+OK 1 100\r\n", "RETR", 2 * 100 + 65536, true},
                   Case{"+OK 1 100\r\n", "RETR", 2 * 100 + 65536 + 1, false}, Case{"+OK 1 0\r\n", "RETR", 3, true},
                   Case{"", "TOP", header, true}, Case{"", "TOP", header + 1, false},
                   Case{"+OK 1 0\r\n", "TOP", 3, true}, Case{"+OK 1 100\r\n", "TOP", 2 * 100 + 65536, true},
                   Case{"+OK 1 100\r\n", "TOP", 2 * 100 + 65536 + 1, false}}) {
        FakePop3Server server;
        server.On(c.verb, CountedReply(c.counted));
        server.On("LIST", c.list);
        int h = LoggedIn(server);
        if (*c.list != '\0') {
            ASSERT_GE(NMailPop3GetMailSize(h, 1), 0);
        }
        Buffers buf;
        int result = std::string_view(c.verb) == "TOP" ? testing::Status(h, 1, buf) : testing::Fetch(h, 1, buf);
        EXPECT_EQ(result, c.passes ? 0 : kConnectionGone) << c.verb << " " << c.counted;
        NMailPop3Close(h);
    }
}

// --- Failure texts ---

TEST_F(NMail, GetMessageRespectsCapacityAndSanitisesReplies) {
    FakePop3Server server(
        "-ERR bad\x01\x1b"
        "byte\r\n");
    EXPECT_EQ(NMailPop3Connect(server.address()), -1);
    EXPECT_TRUE(Contains(LastMessage(), L"-ERR bad??byte"));

    std::array<char, 8> raw;
    raw.fill('G');
    int capacity = 5;
    EXPECT_EQ(NMailGetMessage(0, raw.data(), &capacity), 0);
    EXPECT_EQ(raw[4], '\0');
    EXPECT_EQ(raw[5], 'G');
    EXPECT_EQ(capacity, 5);

    capacity = 0;
    raw.fill('G');
    EXPECT_EQ(NMailGetMessage(0, raw.data(), &capacity), -1);
    EXPECT_EQ(raw[0], 'G');
    EXPECT_EQ(NMailGetMessage(0, nullptr, &capacity), -1);
    EXPECT_EQ(NMailGetMessage(0, raw.data(), nullptr), -1);
    // The wide text holds the reply whole whatever the code page: UTF-8 as such, else (Shift-JIS) by the code page.
    for (auto [codePage, reply] :
         {std::pair{1252, "-ERR \xe3\x83\x91\xe3\x82\xb9 \xe2\x98\x85"}, std::pair{932, "-ERR \x83p\x83X \x81\x9a"}}) {
        platform::SetAnsiCodePage(codePage);
        FakePop3Server refusing;
        refusing.On("PASS", std::string(reply) + "\r\n");
        EXPECT_LT(NMailPop3Authenticate(NMailPop3Connect(refusing.address()), "alice", "wrong", 0), 0);
        EXPECT_EQ(LastMessage(), L"ログインできませんでした。サーバーの応答: -ERR パス ★") << codePage;
    }
    platform::SetAnsiCodePage(932);
}

Deadline gTestNow;  // The clock of the session below.

TEST(Pop3Session, MessagesMustBeReadWithinTheTimeAfterLogin) {
    auto owned = std::make_unique<ScriptedStream>();
    ScriptedStream& stream = *owned;
    stream.Add("+OK ready\r\n");
    stream.Add("-ERR\r\n");  // CAPA
    stream.Add("+OK\r\n+OK\r\n+OK 2147483647 0\r\n");
    for (int n = 1; n <= 301; ++n)
        stream.Add("+OK\r\nSubject: s\r\n\r\n.\r\n+OK " + std::to_string(n) + " 1\r\n+OK\r\n\r\nx\r\n.\r\n");
    gTestNow = Deadline();
    Pop3Session session(std::move(owned), 30s, [] { return gTestNow; });
    ASSERT_TRUE(session.Start() && session.ReadCapabilities());
    ASSERT_EQ(session.Login("alice", "secret", false), 2147483647);
    std::vector<char> a(64), b(64), c(64), d(64), body(64);
    MailBuffers buffers{SpanWriter(a), SpanWriter(b), SpanWriter(c), SpanWriter(d), SpanWriter(body)};
    int fetched = 0;
    for (int n = 1; session.FetchHeader(n, buffers) && session.MessageSize(n) == 1; ++n) {
        ASSERT_TRUE(session.FetchMessage(n, buffers));
        ++fetched;
        gTestNow += 1s;  // each message takes a second
    }
    EXPECT_EQ(fetched, 300);
    EXPECT_TRUE(session.Dead());
    EXPECT_TRUE(Contains(session.Error(), L"5 分"));
    EXPECT_TRUE(stream.written.ends_with("RETR 300\r\n")) << "nothing sent once the time is over";

    // A reply under way ends with the time too: 2 MiB at 4 KiB a second would take 512 s.
    auto slow = std::make_unique<ScriptedStream>();
    ScriptedStream& trickle = *slow;
    trickle.Add("+OK ready\r\n-ERR\r\n+OK\r\n+OK\r\n+OK 1 2097152\r\n+OK\r\n");
    for (int k = 0; k < 512; ++k)
        trickle.Add(std::string(4094, 'x') + "\r\n");
    gTestNow = Deadline();
    Pop3Session late(std::move(slow), 30s, [] { return gTestNow; });
    ASSERT_TRUE(late.Start() && late.ReadCapabilities());
    ASSERT_EQ(late.Login("alice", "secret", false), 1);
    trickle.clock = &gTestNow;
    trickle.tick = 1s;
    EXPECT_FALSE(late.FetchMessage(1, buffers));
    EXPECT_EQ(gTestNow, Deadline() + Pop3Session::kMessagesTime);
    EXPECT_EQ(late.Error(), text::kMessagesTooLong);
}

TEST(Pop3Session, ClosingWithRepliesQueuedFromASlowServerTakesOneResponseTime) {
    auto owned = std::make_unique<ScriptedStream>();
    ScriptedStream& stream = *owned;
    stream.Add("+OK ready\r\n+OK\r\nPIPELINING\r\n.\r\n+OK\r\n+OK\r\n+OK 64 640\r\n+OK 1 10\r\n");
    for (int queued = 0; queued < 64; ++queued)  // LIST 2 to 64 and TOP 1 0, sent ahead of LIST 1's reply
        stream.Add("+OK 2 10\r\n");
    gTestNow = Deadline();
    Pop3Session session(std::move(owned), 1s, [] { return gTestNow; });
    ASSERT_TRUE(session.Start() && session.ReadCapabilities());
    ASSERT_EQ(session.Login("alice", "secret", false), 64);
    ASSERT_EQ(session.MessageSize(1), 10);
    stream.clock = &gTestNow;
    stream.tick = 100ms;  // each reply 100 ms after the last: no pause reaches the limit, all of them do
    session.Quit();
    EXPECT_EQ(gTestNow, Deadline() + 1s) << "one response time for the replies queued and QUIT's";
}

TEST(HelperThread, CallBeforeStopsWaitingAtTheDeadline) {
    auto start = std::chrono::steady_clock::now();
    bool started = false;
    auto slow = CallBefore<int>(
        start + std::chrono::milliseconds(100),
        [] {
            std::this_thread::sleep_for(std::chrono::seconds(2));  // a resolver that does not answer
            return 1;
        },
        started);
    EXPECT_FALSE(slow);
    EXPECT_TRUE(started) << "late, which is not the same as never started";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(CallBefore<int>(
                  start + std::chrono::seconds(5), [] { return 7; }, started),
              7);
}

}  // namespace
}  // namespace nmail
