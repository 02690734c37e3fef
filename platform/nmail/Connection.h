// Opens a POP3 session the way the server setting asks: TCP, then TLS from the first byte, STLS when the
// server offers it, or plain only. Once TLS is chosen nothing goes out in clear after a failure.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/nmail/Pop3Session.h"
#include "platform/nmail/ServerAddress.h"

namespace nmail {

struct ConnectSettings {
    std::chrono::milliseconds connectTimeout;   // TCP connect, and separately the TLS handshake.
    std::chrono::milliseconds responseTimeout;  // Each reply.
    std::string extraRootFile;                  // See TlsSettings.
};

// A session past the greeting and CAPA (and STLS, the handshake and CAPA again, when used), ready to log in;
// or null with the failure's text in `error`.
std::unique_ptr<Pop3Session> OpenSession(const ServerAddress& address,
                                         const ConnectSettings& settings,
                                         std::wstring& error);

}  // namespace nmail
