// A scripted stand-in for SChannel, for the engine-driven TLS stream natively (tests and the fuzz target).
// Records carry TLS's 5-byte header and an unprotected payload. The client sends `hello`, answers the
// server's SH with "FIN", and DONE ends the handshake; after it, TICKET is a TLS 1.3 session ticket, KEYUPDATE
// a KeyUpdate (answered with "KU") and HELLO? a TLS 1.2 HelloRequest, all reported as SChannel does:
// SEC_I_RENEGOTIATE, with the first buffer still typed as data and holding the record.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/nmail/TlsEngine.h"

namespace nmail::testing {

inline std::string Record(char type, const std::string& payload) {
    return std::string{type, 3, 3, char(payload.size() >> 8), char(payload.size() & 0xff)} + payload;
}
inline const std::string kServerHello = Record(0x16, "SH");
inline const std::string kServerDone = Record(0x16, "DONE");
inline const std::string kTicket = Record(0x16, "TICKET");
inline const std::string kKeyUpdate = Record(0x16, "KEYUPDATE");
inline const std::string kHelloRequest = Record(0x16, "HELLO?");
inline const std::string kCloseNotify = Record(0x15, std::string("\x01\x00", 2));

class ScriptedEngine : public TlsEngine {
public:
    static constexpr size_t kMaxRecord = 16384 + 2048;  // What SChannel takes, overhead included.

    unsigned long Begin(const std::string&) override { return 0; }

    EngineStep Handshake(std::span<const char> input) override {
        handshakeInputs.emplace_back(input.begin(), input.end());
        if (!started_) {  // The ClientHello consumes none of what the server sent.
            started_ = true;
            return Step(EngineStatus::ContinueNeeded, hello, input.size());
        }
        if (answer_) {  // The message came through Decrypt; nothing of the input is consumed.
            std::string answer = *std::exchange(answer_, std::nullopt);
            return Step(EngineStatus::Ok, answer, input.size());
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
            return Step(record.empty() ? EngineStatus::IncompleteMessage : EngineStatus::Failed, "");
        if (record == kTicket || record == kKeyUpdate)
            answer_ = record == kKeyUpdate ? "KU" : "";
        if (record == kHelloRequest)
            started_ = false;
        if (answer_ || record == kHelloRequest) {
            const DecryptBuffer left[] = {{DecryptBuffer::Type::Data, input.data(), input.size()},
                                          {DecryptBuffer::Type::Extra, nullptr, extra}};
            return DecryptStep(EngineStatus::Renegotiate, 0, left);
        }
        // SChannel decrypts in place: what the stream handed over is no longer the record.
        std::memset(input.data(), 0xee, record.size());
        if (record == kCloseNotify)
            return Step(EngineStatus::ContextExpired, "", extra);
        if (record[0] != 0x17)
            return Step(EngineStatus::Failed, "");
        EngineStep step = Step(EngineStatus::Ok, "", extra);
        step.data.assign(record.begin() + 5, record.end());
        return step;
    }

    bool Encrypt(std::span<const char> data, std::vector<char>& record) override {
        std::string r = Record(0x17, std::string(data.begin(), data.end()));
        record.assign(r.begin(), r.end());
        return true;
    }
    size_t MaxMessage() override { return 4; }
    TlsError Check(const TlsSettings&, Deadline) override { return {}; }
    bool Tls13() override { return tls13; }
    std::vector<char> CloseNotify() override { return {}; }

    std::string hello = "CH";  // A real ClientHello here lets the stream see which versions it offered.
    bool tls13 = true;
    std::vector<std::string> handshakeInputs;

private:
    static EngineStep Step(EngineStatus status, const std::string& token, size_t extra = 0) {
        EngineStep step;
        step.status = status;
        step.token.assign(token.begin(), token.end());
        step.extra = extra;
        return step;
    }
    // The first whole record of `input` and how many bytes follow it; an oversized record leaves `record`
    // holding its header.
    static bool Split(std::span<const char> input, std::string& record, size_t& extra) {
        if (input.size() < 5)
            return false;
        size_t size = 5 + (size_t(static_cast<unsigned char>(input[3])) << 8 | static_cast<unsigned char>(input[4]));
        if (size > kMaxRecord) {
            record.assign(input.begin(), input.begin() + 5);
            return false;
        }
        if (input.size() < size)
            return false;
        record.assign(input.begin(), input.begin() + long(size));
        extra = input.size() - size;
        return true;
    }

    bool started_ = false;
    std::optional<std::string> answer_;  // What the handshake call after a post-handshake message sends.
};

}  // namespace nmail::testing
