// The program's own check of a server certificate on Windows. SChannel is asked not to validate
// (Wine's never does), so every rule is applied here with the system's chain engine.
#pragma once

#define SECURITY_WIN32
#include <windows.h>

#include <security.h>

#include "platform/nmail/TlsStream.h"

namespace nmail {

// Checks the certificate the server presented on `context`: a chain to a trusted root (or to the extra
// root of the settings), no error anywhere in the chain, valid now, meant for servers, and for the host.
// Fetching a missing issuer from the address in the certificate ends by `deadline`.
TlsError CheckServerCertificate(CtxtHandle& context, const TlsSettings& settings, Deadline deadline);

}  // namespace nmail
