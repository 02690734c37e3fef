// Whether a server certificate names the server in the setting, by the rules browsers follow (RFC 6125),
// the same for every TLS backend: only subjectAltName entries count, never the subject's common name; an
// address is matched only against IP entries and a name only against DNS entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nmail {

struct CertificateNames {
    std::vector<std::string> dns;  // DNS entries as the certificate holds them.
    std::vector<std::string> ips;  // IP entries, 4 or 16 bytes each.
};

// Whether one DNS entry names `host`. Letters compare without case and one final dot of either is ignored.
// A wildcard stands only for a whole leftmost label, needs at least two labels after it, and never stands
// for an IDN label ("xn--").
bool DnsNameMatches(std::string_view entry, std::string_view host);

// The IP address in `host` as 4 or 16 bytes, or empty for a name.
std::string IpAddressBytes(const std::string& host);

// Whether the certificate names the host: `ip` is the host's address as 4 or 16 bytes, or empty for a name.
bool NamesHost(const CertificateNames& names, std::string_view host, std::string_view ip);

// The first `most` entries for the reader, DNS names first, joined by ", ", with "..." when there are more.
std::wstring NamesForReader(const CertificateNames& names, size_t most = 3);

}  // namespace nmail
