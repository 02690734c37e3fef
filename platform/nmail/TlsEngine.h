// TLS whose handshake and record protection come from an engine (SChannel on Windows, OpenSSL natively),
// which takes one record at a time and leaves the buffering to its caller. The record side is written here
// once against a small interface, in SChannel's terms; a scripted engine stands in for it in tests.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/nmail/TlsStream.h"

namespace nmail {

// What one call of the engine reported, in SChannel's terms.
enum class EngineStatus {
    Ok,                 // Done: the handshake is complete, or a record was decrypted.
    ContinueNeeded,     // The handshake goes on: send the token, then give it more from the server.
    IncompleteMessage,  // The input holds no whole record yet.
    Renegotiate,        // A handshake message arrived after the handshake: on TLS 1.3 a session ticket or a
                        // KeyUpdate, which the handshake call must see (with the bytes after it) before reading
                        // on; on TLS 1.2 a renegotiation, which is refused (it would bring a certificate nobody
                        // checks).
    ContextExpired,     // The server's close_notify.
    Failed,
};

struct EngineStep {
    EngineStatus status = EngineStatus::Failed;
    unsigned long code = 0;   // The system's status code, for the failure text.
    std::vector<char> token;  // Bytes for the server (handshake calls; decrypt calls of an engine that answers).
    std::vector<char> data;   // Decrypted bytes.
    size_t extra = 0;         // Bytes at the end of the input that the call did not consume.
};

// One of the buffers a decrypt call leaves behind, typed as SChannel types it.
struct DecryptBuffer {
    enum class Type { Other, Data, Extra };
    Type type = Type::Other;
    const char* data = nullptr;  // May be null for the extra buffer, whose size alone counts.
    size_t size = 0;
};

// The step of one decrypt call from its status and buffers. Decrypted bytes come only from the data buffer
// of a successful call (Ok, ContextExpired): with Renegotiate, SChannel leaves the first buffer typed as data
// and holding the record still encrypted.
EngineStep DecryptStep(EngineStatus status, unsigned long code, std::span<const DecryptBuffer> buffers);

class TlsEngine {
public:
    virtual ~TlsEngine() = default;
    // Credentials for TLS 1.2 and newer that leave the certificate to Check(); 0 or the system's code.
    virtual unsigned long Begin(const std::string& host) = 0;
    // One handshake call: the first ignores the input; later ones get the server's bytes held so far.
    virtual EngineStep Handshake(std::span<const char> input) = 0;
    // Decrypts the first record of `input`, overwriting it; the step as DecryptStep makes it.
    virtual EngineStep Decrypt(std::span<char> input) = 0;
    // Protects `data` (at most MaxMessage() bytes) as one record; false on failure.
    virtual bool Encrypt(std::span<const char> data, std::vector<char>& record) = 0;
    // The largest plaintext of one record, known once the handshake is done; 0 on failure.
    virtual size_t MaxMessage() = 0;
    // The agreed version and the server's certificate; fetching a missing issuer ends by `deadline`.
    virtual TlsError Check(const TlsSettings& settings, Deadline deadline) = 0;
    // Whether TLS 1.3 was agreed; known once the handshake is done.
    virtual bool Tls13() = 0;
    // The close_notify alert to send, or nothing.
    virtual std::vector<char> CloseNotify() = 0;
};

// A TlsStream over `inner` that drives `engine`.
std::unique_ptr<TlsStream> MakeEngineStream(std::unique_ptr<Stream> inner, std::unique_ptr<TlsEngine> engine);

}  // namespace nmail
