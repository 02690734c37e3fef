// Connection set-up: the choice between TLS, STLS and plain, and the texts of what went wrong.
#include "platform/nmail/Connection.h"

#include <algorithm>
#include <cwchar>

#include "platform/base/CodePage.h"
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

// The same server in clear: "pop3://host", with the port only when it is a plain one of the user's.
std::wstring ClearTextSetting(const ServerAddress& address) {
    std::wstring host = platform::FromAnsi(address.host);
    if (host.find(L':') != std::wstring::npos)
        host = L"[" + host + L"]";
    if (address.security == Security::StlsOffered && address.port != kDefaultPop3Port)
        host += L":" + platform::FromAnsi(address.port);
    return L"pop3://" + host;
}

// A certificate's issuer or names as one line of the box: the server chose them, line breaks included.
std::wstring OneLine(std::wstring text) {
    std::replace_if(
        text.begin(), text.end(), [](wchar_t c) { return c < L' ' || c == 0x7f; }, L'?');
    return text;
}

std::wstring TlsErrorWords(const TlsError& error, const ServerAddress& address) {
    const std::wstring detail = OneLine(error.detail);
    const std::wstring clear = ClearTextSetting(address) + std::wstring(text::kTlsWayOutEnd);
    const std::wstring useClear = L"\r\n" + std::wstring(text::kTlsUseClearText) + clear;
    switch (error.failure) {
        case TlsFailure::NotTls: return std::wstring(text::kTlsNotTls);
        case TlsFailure::TimedOut: return std::wstring(text::kTlsTimedOut);
        case TlsFailure::Closed: return std::wstring(text::kTlsClosed);
        case TlsFailure::OldProtocol: return std::wstring(text::kTlsOldProtocol) + useClear;
        case TlsFailure::NewOnly: return std::wstring(text::kTlsNewOnly) + useClear;
        case TlsFailure::NewOnlyLikely: return std::wstring(text::kTlsNewOnlyLikely) + useClear;
        case TlsFailure::Untrusted:
            if (error.detail.empty())
                return std::wstring(text::kTlsUntrusted) + useClear;
            return std::wstring(text::kTlsUntrusted) + L"\r\n" + std::wstring(text::kTlsIssuer) + detail + useClear;
        case TlsFailure::NameMismatch:
            if (error.detail.empty())
                return std::wstring(text::kTlsNameMismatch) + L"\r\n" + std::wstring(text::kTlsNoCertificateNames) +
                       useClear;
            return std::wstring(text::kTlsNameMismatch) + L"\r\n" + std::wstring(text::kTlsCertificateNames) + detail +
                   L"\r\n" + std::wstring(text::kTlsUseNameOrClearText) + clear;
        case TlsFailure::NamesUnreadable:
            return std::wstring(text::kTlsNameMismatch) + L"\r\n" + std::wstring(text::kTlsUnreadableNames) + useClear;
        case TlsFailure::Expired: return std::wstring(text::kTlsExpired);
        case TlsFailure::NotForServer: return std::wstring(text::kTlsNotForServer);
        case TlsFailure::None:
        case TlsFailure::Handshake: break;
    }
    wchar_t code[32];
    std::swprintf(code, 32, L"0x%08lX", error.code);
    return std::wstring(text::kTlsHandshakeFailed) + code;
}

bool Secure(TlsStream& stream, const ServerAddress& address, const ConnectSettings& settings, std::wstring& error) {
    TlsError result =
        stream.Handshake(TlsSettings{address.host, settings.extraRootFile}, Clock::now() + settings.connectTimeout);
    if (result.failure == TlsFailure::None)
        return true;
    error = TlsErrorWords(result, address);
    return false;
}

std::unique_ptr<Pop3Session> Failed(std::wstring_view text, std::wstring& error) {
    error = text;
    return nullptr;
}

}  // namespace

std::unique_ptr<Pop3Session> OpenSession(const ServerAddress& address,
                                         const ConnectSettings& settings,
                                         std::wstring& error) {
    ConnectFailure failure = ConnectFailure::None;
    auto stream = ConnectTcp(address.host, address.port, Clock::now() + settings.connectTimeout, failure);
    if (!stream)
        return Failed(ConnectFailureText(failure), error);
    if (address.security == Security::Plain) {
        // CAPA all the same, for PIPELINING; an STLS it lists is not used.
        auto session = std::make_unique<Pop3Session>(std::move(stream), settings.responseTimeout);
        if (!session->Start() || !session->ReadCapabilities())
            return Failed(session->Error(), error);
        return session;
    }

    std::unique_ptr<TlsStream> tls = TlsStream::Wrap(std::move(stream));
    TlsStream& secure = *tls;
    auto session = std::make_unique<Pop3Session>(std::move(tls), settings.responseTimeout);
    if (address.security == Security::Tls && !Secure(secure, address, settings, error))
        return nullptr;
    if (!session->Start() || !session->ReadCapabilities())
        return Failed(session->Error(), error);
    if (address.security == Security::StlsOffered && session->HasCapability("STLS")) {
        std::wstring tlsError;
        if (!session->StartTls([&] { return Secure(secure, address, settings, tlsError); }))
            return Failed(tlsError.empty() ? session->Error() : tlsError, error);
    }
    return session;
}

}  // namespace nmail
