// Connection set-up: the choice between TLS, STLS and plain, and the texts of what went wrong.
#include "platform/nmail/Connection.h"

#include <cstdio>

#include "platform/nmail/Messages.h"
#include "platform/nmail/Socket.h"
#include "platform/nmail/TlsStream.h"

namespace nmail {
namespace {

std::wstring_view ConnectFailureText(ConnectFailure failure) {
    switch (failure) {
        case ConnectFailure::NoNetwork: return text::kNetworkStartFailed;
        case ConnectFailure::Resolve: return text::kResolveFailed;
        case ConnectFailure::TimedOut: return text::kConnectTimedOut;
        case ConnectFailure::NoThread: return text::kNoHelperThread;
        case ConnectFailure::None:
        case ConnectFailure::Refused: break;
    }
    return text::kConnectFailed;
}

std::string TlsErrorText(const TlsError& error) {
    switch (error.failure) {
        case TlsFailure::NotTls: return text::Ansi(text::kTlsNotTls);
        case TlsFailure::TimedOut: return text::Ansi(text::kTlsTimedOut);
        case TlsFailure::Closed: return text::Ansi(text::kTlsClosed);
        case TlsFailure::OldProtocol: return text::Ansi(text::kTlsOldProtocol);
        case TlsFailure::Untrusted: return text::Ansi(text::kTlsUntrusted);
        case TlsFailure::NameMismatch: return text::Ansi(text::kTlsNameMismatch);
        case TlsFailure::Expired: return text::Ansi(text::kTlsExpired);
        case TlsFailure::NotForServer: return text::Ansi(text::kTlsNotForServer);
        case TlsFailure::None:
        case TlsFailure::Handshake: break;
    }
    char code[32];
    std::snprintf(code, sizeof code, "0x%08lX", error.code);
    return text::Ansi(text::kTlsHandshakeFailed) + code;
}

bool Secure(TlsStream& stream, const ServerAddress& address, const ConnectSettings& settings, std::string& error) {
    TlsError result =
        stream.Handshake(TlsSettings{address.host, settings.extraRootFile}, Clock::now() + settings.connectTimeout);
    if (result.failure == TlsFailure::None)
        return true;
    error = TlsErrorText(result);
    return false;
}

std::unique_ptr<Pop3Session> Failed(std::string text, std::string& error) {
    error = std::move(text);
    return nullptr;
}

}  // namespace

std::unique_ptr<Pop3Session> OpenSession(const ServerAddress& address,
                                         const ConnectSettings& settings,
                                         std::string& error) {
    ConnectFailure failure = ConnectFailure::None;
    auto stream = ConnectTcp(address.host, address.port, Clock::now() + settings.connectTimeout, failure);
    if (!stream)
        return Failed(text::Ansi(ConnectFailureText(failure)), error);
    if (address.security == Security::Plain) {
        // CAPA all the same, for PIPELINING; an STLS it lists is not used.
        auto session = std::make_unique<Pop3Session>(std::move(stream), settings.responseTimeout);
        if (!session->Start() || !session->ReadCapabilities())
            return Failed(session->error(), error);
        return session;
    }

    std::unique_ptr<TlsStream> tls = TlsStream::Wrap(std::move(stream));
    TlsStream& secure = *tls;
    auto session = std::make_unique<Pop3Session>(std::move(tls), settings.responseTimeout);
    if (address.security == Security::Tls && !Secure(secure, address, settings, error))
        return nullptr;
    if (!session->Start() || !session->ReadCapabilities())
        return Failed(session->error(), error);
    if (address.security == Security::StlsOffered && session->HasCapability("STLS")) {
        std::string tlsError;
        if (!session->StartTls([&] { return Secure(secure, address, settings, tlsError); }))
            return Failed(tlsError.empty() ? session->error() : tlsError, error);
    }
    return session;
}

}  // namespace nmail
