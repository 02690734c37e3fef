// Fuzzes a whole POP3 session over an in-memory stream: after a fixed greeting and CAPA reply (listing
// PIPELINING when NMAIL_FUZZ_PIPELINED is set), the server's bytes come from the input. The calls are the
// mail check's (TOP, LIST, RETR for each message in turn) or, with flag 2, a mix out of that order.
// Input: a flag byte (1 APOP, 2 calls out of order, 4 a large body buffer), a byte that seeds the cutting of
// the stream and the mixed calls, then the server's bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ScriptedStream.h"
#include "platform/nmail/Pop3Session.h"

#ifndef NMAIL_FUZZ_PIPELINED
#define NMAIL_FUZZ_PIPELINED 0
#endif

namespace {

constexpr int kMaxCalls = 120;
constexpr const char* kCapabilities = NMAIL_FUZZ_PIPELINED ? "+OK\r\nTOP\r\nPIPELINING\r\n.\r\n" : "-ERR\r\n";

using fuzz::Random;
using fuzz::Require;

struct Buffers {
    explicit Buffers(size_t bodySize) : body(bodySize) {}
    std::vector<char> a = std::vector<char>(64), b = a, c = a, d = std::vector<char>(300);
    std::vector<char> body;

    nmail::MailBuffers Writers() {
        return {nmail::SpanWriter(a), nmail::SpanWriter(b), nmail::SpanWriter(c), nmail::SpanWriter(d),
                nmail::SpanWriter(body)};
    }
    void RequireTerminated() const {
        for (const auto* v : {&a, &b, &c, &d, &body})
            Require(std::memchr(v->data(), 0, v->size()) != nullptr);
    }
};

// One call as the check makes it, or a random one (kind and message number) when mixing.
void Call(nmail::Pop3Session& session, int kind, int number, Buffers& buffers) {
    nmail::MailBuffers writers = buffers.Writers();
    if (kind == 0) {
        session.FetchHeader(number, writers);
    } else if (kind == 1) {
        int size = session.MessageSize(number);
        Require(size >= -1);
    } else {
        session.FetchMessage(number, writers);
    }
    buffers.RequireTerminated();
}

// Every command the session wrote is a whole line of its own, and none deletes anything.
void RequireWellFormed(const std::string& written) {
    Require(written.empty() || written.size() >= 2);
    Require(written.empty() || written.compare(written.size() - 2, 2, "\r\n") == 0);
    Require(written.find("DELE") == std::string::npos);
    size_t lines = size_t(std::count(written.begin(), written.end(), '\n'));
    Require(lines == size_t(std::count(written.begin(), written.end(), '\r')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    Random random{data[1]};
    auto owned = std::make_unique<nmail::testing::ScriptedStream>();
    nmail::testing::ScriptedStream& stream = *owned;
    stream.Add("+OK ready <1.2@fuzz>\r\n");
    stream.Add(kCapabilities);
    fuzz::AddAsReads(stream, std::string_view(reinterpret_cast<const char*>(data + 2), size - 2), random,
                     [] { return 200u; });

    nmail::Pop3Session session(std::move(owned), std::chrono::milliseconds(1000));
    if (session.Start() && session.ReadCapabilities()) {
        int count = session.Login("user", "secret", (flags & 1) != 0);
        Require(count >= -1);
        Require(session.HasCapability("PIPELINING") == bool(NMAIL_FUZZ_PIPELINED) || session.Dead());
        Buffers buffers((flags & 4) != 0 ? 4096 : 16);
        int calls = 0;
        for (int n = 1; n <= count && calls < kMaxCalls; ++n) {
            if ((flags & 2) != 0) {
                Call(session, int(random.Next() % 3), 1 + int(random.Next() % (uint32_t(count) + 1u)), buffers);
                ++calls;
                continue;
            }
            for (int kind = 0; kind < 3; ++kind, ++calls)
                Call(session, kind, n, buffers);
        }
        RequireWellFormed(stream.written);
    }
    session.Quit();
    return 0;
}
