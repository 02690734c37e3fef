// The record side of the SChannel stream against a scripted engine, natively: what Wine's SChannel never
// does and Windows 11 does after every TLS 1.3 handshake (session tickets that DecryptMessage answers with
// SEC_I_RENEGOTIATE), a renegotiation that needs the server's answer, records cut across reads, the
// server's close_notify, and a plain server on a TLS port.
#include "platform/nmail/TlsEngine.h"

#include <gtest/gtest.h>

#include <string>

#include "ScriptedStream.h"

namespace nmail {
namespace {

using testing::ScriptedStream;

// A record of the scripted engine: type byte, length byte, payload (as in TLS, but without protection).
std::string Record(char type, const std::string& payload) {
    return std::string(1, type) + char(payload.size()) + payload;
}
const std::string kServerHello = Record(0x16, "SH");
const std::string kServerDone = Record(0x16, "DONE");
const std::string kTicket = Record(0x16, "TICKET");        // TLS 1.3: taken by Decrypt, then Renegotiate.
const std::string kHelloRequest = Record(0x16, "HELLO?");  // TLS 1.2: a renegotiation the server asks for.
const std::string kCloseNotify = Record(0x15, "");

// SChannel as the stream sees it: the client sends "CH", answers SH with "FIN" and DONE ends the handshake.
class ScriptedEngine : public TlsEngine {
public:
    unsigned long Begin(const std::string&) override { return 0; }

    EngineStep Handshake(std::span<const char> input) override {
        handshakeInputs.emplace_back(input.begin(), input.end());
        if (!started_) {
            started_ = true;
            return Step(EngineStatus::ContinueNeeded, "CH");
        }
        if (ticketTaken_) {  // The ticket came through Decrypt; nothing of the input is consumed.
            ticketTaken_ = false;
            return Step(EngineStatus::Ok, "", input.size());
        }
        std::string record;
        size_t extra = 0;
        if (!Split(input, record, extra))
            return Step(EngineStatus::IncompleteMessage, "");
        if (record == kServerHello)
            return Step(EngineStatus::ContinueNeeded, "FIN", extra);
        if (record == kServerDone)
            return Step(EngineStatus::Ok, "", extra);
        return Step(EngineStatus::Failed, "");
    }

    EngineStep Decrypt(std::span<char> input) override {
        std::string record;
        size_t extra = 0;
        if (!Split(input, record, extra))
            return Step(EngineStatus::IncompleteMessage, "");
        if (record == kCloseNotify)
            return Step(EngineStatus::ContextExpired, "", extra);
        if (record == kTicket)
            ticketTaken_ = true;
        if (record == kTicket)
            return Step(EngineStatus::Renegotiate, "", extra);
        if (record == kHelloRequest) {
            started_ = false;
            return Step(EngineStatus::Renegotiate, "", extra);
        }
        EngineStep step = Step(EngineStatus::Ok, "", extra);
        step.data.assign(record.begin() + 2, record.end());
        return step;
    }

    bool Encrypt(std::span<const char> data, std::vector<char>& record) override {
        std::string r = Record(0x17, std::string(data.begin(), data.end()));
        record.assign(r.begin(), r.end());
        return true;
    }
    size_t MaxMessage() override { return 4; }
    TlsError Check(const TlsSettings&) override { return {}; }
    std::vector<char> CloseNotify() override { return {}; }

    std::vector<std::string> handshakeInputs;

private:
    static EngineStep Step(EngineStatus status, const std::string& token, size_t extra = 0) {
        EngineStep step;
        step.status = status;
        step.token.assign(token.begin(), token.end());
        step.extra = extra;
        return step;
    }
    // The first whole record of `input` and how many bytes follow it.
    static bool Split(std::span<const char> input, std::string& record, size_t& extra) {
        if (input.size() < 2 || input.size() < 2 + size_t(static_cast<unsigned char>(input[1])))
            return false;
        size_t size = 2 + size_t(static_cast<unsigned char>(input[1]));
        record.assign(input.begin(), input.begin() + long(size));
        extra = input.size() - size;
        return true;
    }

    bool started_ = false;
    bool ticketTaken_ = false;
};

struct Connection {
    explicit Connection(std::vector<std::string> chunks) {
        auto inner = std::make_unique<ScriptedStream>();
        for (std::string& chunk : chunks)
            inner->Add(std::move(chunk));
        server = inner.get();
        auto scripted = std::make_unique<ScriptedEngine>();
        engine = scripted.get();
        stream = MakeEngineStream(std::move(inner), std::move(scripted));
    }

    TlsFailure Handshake() {
        return stream->Handshake(TlsSettings{"localhost", ""}, Clock::now() + std::chrono::seconds(5)).failure;
    }

    // Everything readable until the stream ends; `end` tells how it ended.
    std::string ReadAll(IoResult& end) {
        std::string all;
        char buffer[3];  // Smaller than a record: the rest must wait for the next read.
        size_t got = 0;
        while ((end = stream->Read(buffer, sizeof buffer, got, Clock::now() + std::chrono::seconds(5))) == IoResult::Ok)
            all.append(buffer, got);
        return all;
    }

    ScriptedStream* server;
    ScriptedEngine* engine;
    std::unique_ptr<TlsStream> stream;
};

TEST(TlsEngineStream, SessionTicketsAfterTheHandshakeGoThroughTheHandshakeCall) {
    // Two tickets right behind the handshake, one cut across reads, and data on both sides of them.
    Connection c({kServerHello, kServerDone + kTicket + kTicket.substr(0, 3), kTicket.substr(3) + Record(0x17, "+OK "),
                  Record(0x17, "ready") + kTicket + Record(0x17, "\r\n"), kCloseNotify});
    ASSERT_EQ(c.Handshake(), TlsFailure::None);
    EXPECT_EQ(c.server->written, "CHFIN");
    IoResult end;
    EXPECT_EQ(c.ReadAll(end), "+OK ready\r\n");
    EXPECT_EQ(end, IoResult::Closed);
    // The ticket calls saw what followed each ticket (nothing, the cut ticket, the data record after it).
    ASSERT_EQ(c.engine->handshakeInputs.size(), 6u);
    EXPECT_EQ(c.engine->handshakeInputs[3], kTicket.substr(0, 3));
    EXPECT_EQ(c.engine->handshakeInputs[5], Record(0x17, "\r\n"));
    ASSERT_EQ(c.stream->WriteAll("QUIT\r\n", 6, Clock::now() + std::chrono::seconds(1)), IoResult::Ok);
    EXPECT_EQ(c.server->written, "CHFIN" + Record(0x17, "QUIT") + Record(0x17, "\r\n"));
}

TEST(TlsEngineStream, RenegotiationSendsItsHandshakeAndReadsOnAfterIt) {
    Connection c({kServerHello + kServerDone, kHelloRequest, kServerHello, kServerDone + Record(0x17, "+OK")});
    ASSERT_EQ(c.Handshake(), TlsFailure::None);
    IoResult end;
    EXPECT_EQ(c.ReadAll(end), "+OK");
    EXPECT_EQ(end, IoResult::Closed);  // The script ran out without a close_notify.
    EXPECT_EQ(c.server->written, "CHFINCHFIN");
}

TEST(TlsEngineStream, PlainServerOrEarlyCloseFailsTheHandshake) {
    Connection plain({"+OK POP3 ready\r\n"});
    EXPECT_EQ(plain.Handshake(), TlsFailure::NotTls);
    Connection closing({kServerHello});
    EXPECT_EQ(closing.Handshake(), TlsFailure::Closed);
    size_t got = 0;
    char buffer[8];
    EXPECT_EQ(closing.stream->Read(buffer, sizeof buffer, got, Clock::now()), IoResult::Failed);
}

}  // namespace
}  // namespace nmail
