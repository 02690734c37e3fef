// The record side of the SChannel stream against a scripted engine, natively: what Wine's SChannel never
// does and Windows 11 does after every TLS 1.3 handshake (session tickets, and KeyUpdates, that DecryptMessage
// answers with SEC_I_RENEGOTIATE, the record still encrypted in its data buffer), a TLS 1.2 renegotiation (refused),
// records cut across reads, the server's close_notify, a server that takes none of the versions offered, and a plain
// server on a TLS port.
#include "platform/nmail/TlsEngine.h"

#include <gtest/gtest.h>

#include <string>

#include "ScriptedEngine.h"
#include "ScriptedStream.h"

namespace nmail {
namespace {

using testing::ScriptedStream;

using testing::kCloseNotify;
using testing::kHelloRequest;
using testing::kKeyUpdate;
using testing::kServerDone;
using testing::kServerHello;
using testing::kTicket;
using testing::Record;
using testing::ScriptedEngine;

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

TEST(TlsEngineStream, SessionTicketsAndKeyUpdatesAfterTheHandshakeGoThroughTheHandshakeCall) {
    // Two tickets ahead of the greeting, one cut across reads, then a KeyUpdate and a ticket inside it.
    Connection c({kServerHello, kServerDone + kTicket + kTicket.substr(0, 3), kTicket.substr(3) + Record(0x17, "+OK "),
                  Record(0x17, "re") + kKeyUpdate + Record(0x17, "ady") + kTicket + Record(0x17, "\r\n"),
                  kCloseNotify});
    ASSERT_EQ(c.Handshake(), TlsFailure::None);
    EXPECT_EQ(c.server->written, "CHFIN");
    IoResult end;
    EXPECT_EQ(c.ReadAll(end), "+OK ready\r\n");
    EXPECT_EQ(end, IoResult::Closed);
    // The ticket calls saw what followed each message (nothing, the cut ticket, the data record after it).
    ASSERT_EQ(c.engine->handshakeInputs.size(), 7u);
    EXPECT_EQ(c.engine->handshakeInputs[3], kTicket.substr(0, 3));
    EXPECT_EQ(c.engine->handshakeInputs[5], Record(0x17, "ady") + kTicket + Record(0x17, "\r\n"));
    EXPECT_EQ(c.engine->handshakeInputs[6], Record(0x17, "\r\n"));
    ASSERT_EQ(c.stream->WriteAll("QUIT\r\n", 6, Clock::now() + std::chrono::seconds(1)), IoResult::Ok);
    EXPECT_EQ(c.server->written, "CHFINKU" + Record(0x17, "QUIT") + Record(0x17, "\r\n"));
}

TEST(TlsEngineStream, RenegotiationOnTls12IsRefused) {
    // The new handshake would bring a certificate that nobody checks.
    Connection c({kServerHello + kServerDone + Record(0x17, "+OK"), kHelloRequest, kServerHello,
                  kServerDone + Record(0x17, "more")});
    c.engine->tls13 = false;
    ASSERT_EQ(c.Handshake(), TlsFailure::None);
    IoResult end;
    EXPECT_EQ(c.ReadAll(end), "+OK");
    EXPECT_EQ(end, IoResult::Failed);
    EXPECT_EQ(c.server->written, "CHFIN");
}

TEST(TlsEngineStream, VersionAlertTellsAnOldServerFromATls13OnlyOne) {
    const std::string alert = Record(0x15, std::string("\x02\x46", 2));
    // The ClientHello says whether TLS 1.3 was offered: record and handshake headers, version, random,
    // empty session id, one cipher suite, one compression method, and supported_versions (1.3, 1.2).
    std::string hello = std::string("\x01\x00\x00\x00\x03\x03", 6) + std::string(32, 'r') +
                        std::string("\x00\x00\x02\x13\x01\x01\x00\x00\x09\x00\x2b\x00\x05\x04\x03\x04\x03\x03", 18);
    for (bool offered : {false, true}) {
        Connection c({alert});
        if (offered)
            c.engine->hello = Record(0x16, hello);
        EXPECT_EQ(c.Handshake(), offered ? TlsFailure::OldProtocol : TlsFailure::NewOnly);
    }
    Connection closing({alert.substr(0, 6)});  // Cut short: no alert, only a close.
    EXPECT_EQ(closing.Handshake(), TlsFailure::Closed);
    // Closed without a word on a hello of TLS 1.2 at most: what a TLS 1.3-only Dovecot does.
    for (bool offered : {false, true}) {
        Connection silent({});
        if (offered)
            silent.engine->hello = Record(0x16, hello);
        EXPECT_EQ(silent.Handshake(), offered ? TlsFailure::Closed : TlsFailure::NewOnlyLikely);
    }
}

TEST(TlsEngineStream, RecordsThatNoLongerFitMoveToTheFrontWhole) {
    // Four full records in odd chunks: each of the later ones wraps past the end of the buffer.
    std::string data, chunks;
    for (char c : {'a', 'b', 'c', 'd'}) {
        data += std::string(16384, c);
        chunks += Record(0x17, std::string(16384, c));
    }
    Connection c(
        {kServerHello + kServerDone, chunks.substr(0, 30000), chunks.substr(30000, 25000), chunks.substr(55000)});
    ASSERT_EQ(c.Handshake(), TlsFailure::None);
    std::string all;
    char buffer[5000];
    size_t got = 0;
    while (c.stream->Read(buffer, sizeof buffer, got, Clock::now() + std::chrono::seconds(5)) == IoResult::Ok)
        all.append(buffer, got);
    EXPECT_TRUE(all == data) << all.size();
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
