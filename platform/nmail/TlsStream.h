// TLS over a connected Stream, with the server's certificate checked by the program itself: a chain to a
// root the system trusts (or to the extra root a test names), valid now, meant for servers, and issued for
// the host name, or the IP address, in the server setting. TLS 1.2 or newer only.
// TlsEngine.cpp implements it over an engine: TlsStream_win.cpp (SChannel) or TlsStream_openssl.cpp (OpenSSL).
#pragma once

#include <memory>
#include <string>

#include "platform/nmail/Stream.h"

namespace nmail {

enum class TlsFailure {
    None,
    NotTls,         // The server's first byte is no TLS record: a plain server on this port.
    TimedOut,       // The handshake did not finish before the deadline.
    Closed,         // The server closed the connection during the handshake.
    Handshake,      // The handshake failed for another reason; `code` holds the system's error code.
    OldProtocol,    // Nothing newer than TLS 1.1 was agreed, or the server refused every version offered.
    NewOnly,        // The server wants TLS 1.3, and this system offers TLS 1.2 at most (Wine).
    NewOnlyLikely,  // The server closed on a ClientHello of TLS 1.2 at most without a word, as a TLS 1.3-only
                    // Dovecot does.
    Untrusted,      // No chain to a trusted root.
    NameMismatch,   // Not issued for the host name or address.
    Expired,        // Outside its period of validity.
    NotForServer,   // Not meant for server authentication.
    // Its subjectAltName does not decode, so whom it was issued for is unknown.
    NamesUnreadable,
};

struct TlsError {
    TlsError() = default;
    TlsError(TlsFailure f, unsigned long c, std::wstring d = {}) : failure(f), code(c), detail(std::move(d)) {}

    TlsFailure failure = TlsFailure::None;
    unsigned long code = 0;
    std::wstring detail;  // For the reader: the certificate's names (NameMismatch) or its issuer (Untrusted).
};

struct TlsSettings {
    std::string host;           // As in the server setting: a name, or an IPv4 or IPv6 address.
    std::string extraRootFile;  // PEM file of one more trusted root (tests); empty for the system's only.
};

// Whether a server's first byte can start a TLS record; anything else is a plain server on a TLS port.
inline bool IsTlsRecordType(unsigned char byte) {
    return byte >= 0x14 && byte <= 0x18;
}

// What a transport failure during the handshake means for it.
inline TlsFailure HandshakeFailureOf(IoResult r) {
    switch (r) {
        case IoResult::TimedOut: return TlsFailure::TimedOut;
        case IoResult::Closed: return TlsFailure::Closed;
        case IoResult::Ok:
        case IoResult::Failed: break;
    }
    return TlsFailure::Handshake;
}

class TlsStream : public Stream {
public:
    // Until Handshake succeeds, bytes pass through in clear: a session can turn to TLS after STLS.
    static std::unique_ptr<TlsStream> Wrap(std::unique_ptr<Stream> inner);

    // Handshake and certificate check, all before `deadline`. After a failure the stream only fails.
    virtual TlsError Handshake(const TlsSettings& settings, Deadline deadline) = 0;
};

}  // namespace nmail
