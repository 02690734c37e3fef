// Whether a server certificate names the server in the setting, by the rules browsers follow (RFC 6125),
// the same for every TLS backend: only subjectAltName entries count, never the subject's common name; an
// address is matched only against IP entries and a name only against DNS entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/nmail/NumericHost.h"
#include "platform/nmail/TlsStream.h"

namespace nmail {

struct CertificateNames {
    std::vector<std::string> dns;  // DNS entries as the certificate holds them.
    std::vector<std::string> ips;  // IP entries, 4 or 16 bytes each.
    bool unreadable = false;       // The certificate has a subjectAltName that does not decode.
};

// Whether one DNS entry names `host`. Letters compare without case and one final dot of either is ignored;
// a byte outside 0x21-0x7e in either matches nothing. A wildcard stands only for a whole leftmost label
// (an IDN "xn--" label too), needs at least two labels after it, and never stands directly over a
// second-level domain open to anyone ("*.co.jp", "*.tokyo.jp", "*.com.au").
bool DnsNameMatches(std::string_view entry, std::string_view host);

// The TLS server name (SNI) for `host`: without one final dot (RFC 6066), and empty for an address.
std::string ServerNameIndication(const std::string& host);

// Whether the certificate names the host: `ip` is the host's address as 4 or 16 bytes, or empty for a name.
bool NamesHost(const CertificateNames& names, std::string_view host, std::string_view ip);

// Nothing when the certificate names `host`; otherwise the failure, with the names for the reader.
TlsError CheckNames(const CertificateNames& names, const std::string& host);

// The first `most` entries for the reader, DNS names first, joined by ", ", with "..." when there are more;
// each at most 64 characters and "…", IPv6 addresses in their short form (RFC 5952).
std::wstring NamesForReader(const CertificateNames& names, size_t most = 3);

}  // namespace nmail
