// Fuzzes the record side of the SChannel stream (TlsEngine.cpp) over the scripted engine: the server's
// records split, merged, oversized or cut short, with extra data at every boundary, tickets, renegotiation
// and close. Input: a flags byte (bit 0: TLS 1.3 agreed; bit 1: the ClientHello offers TLS 1.3), a byte that
// seeds how the stream is cut into reads and how much each read asks for, then the server's bytes.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ScriptedEngine.h"
#include "ScriptedStream.h"

namespace {

using fuzz::Random;
using fuzz::Require;

// What the stream may hand out at most: the payloads of the data records, taken one after another from the
// start of the server's bytes.
std::string DataRecords(std::string_view bytes) {
    std::string data;
    for (size_t at = 0; at + 5 <= bytes.size();) {
        size_t length =
            size_t(static_cast<unsigned char>(bytes[at + 3])) << 8 | static_cast<unsigned char>(bytes[at + 4]);
        if (at + 5 + length > bytes.size())
            break;
        if (bytes[at] == 0x17)
            data += bytes.substr(at + 5, length);
        at += 5 + length;
    }
    return data;
}

// A ClientHello that offers TLS 1.3 and 1.2.
std::string HelloOffering13() {
    std::string body = std::string("\x01\x00\x00\x00\x03\x03", 6) + std::string(32, 'r') +
                       std::string("\x00\x00\x02\x13\x01\x01\x00\x00\x09\x00\x2b\x00\x05\x04\x03\x04\x03\x03", 18);
    return nmail::testing::Record(0x16, body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    Random random{data[1]};
    std::string_view server(reinterpret_cast<const char*>(data + 2), size - 2);
    auto inner = std::make_unique<nmail::testing::ScriptedStream>();
    fuzz::AddAsReads(*inner, server, random, [&] { return random.Next() % 4 == 0 ? 40000u : 64u; });
    auto engine = std::make_unique<nmail::testing::ScriptedEngine>();
    engine->tls13 = flags & 1;
    if (flags & 2)
        engine->hello = HelloOffering13();
    auto stream = nmail::MakeEngineStream(std::move(inner), std::move(engine));
    const nmail::Deadline deadline = nmail::Clock::now() + std::chrono::seconds(1);
    if (stream->Handshake(nmail::TlsSettings{"pop.example.test", ""}, deadline).failure != nmail::TlsFailure::None) {
        char byte;
        size_t got = 0;
        Require(stream->Read(&byte, 1, got, deadline) == nmail::IoResult::Failed);
        return 0;
    }
    Require(stream->WriteAll("CAPA\r\n", 6, deadline) == nmail::IoResult::Ok);
    std::string out;
    std::string buffer(1 + random.Next() % 20000, '\0');
    nmail::IoResult r;
    size_t got = 0;
    for (;;) {
        size_t capacity = 1 + random.Next() % buffer.size();
        got = 0;
        r = stream->Read(buffer.data(), capacity, got, deadline);
        if (r != nmail::IoResult::Ok)
            break;
        Require(got >= 1 && got <= capacity);
        out.append(buffer.data(), got);
    }
    Require(DataRecords(server).starts_with(out));
    // Once it ended, it stays ended the same way.
    Require(stream->Read(buffer.data(), buffer.size(), got, deadline) == r);
    return 0;
}
