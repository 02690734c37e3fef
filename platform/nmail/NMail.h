// POP3 client library used by the mail check: connect, log in, read sizes, headers and messages, close. Same functions
// on Windows (Winsock) and POSIX. The program calls them directly; its tests link a recording stand-in of them
// (tests/support/FakeMailLibrary.cpp) instead of NMail.cpp. Texts are byte strings in the system's ANSI code page,
// except the failure texts, which are kept as wide text (UTF-16 on Windows): NMailGetMessageW hands them out whole,
// while NMailGetMessage gives them in the ANSI code page, where a character the code page lacks becomes '?'. Every call
// blocks until done; results are negative on failure, and NMailGetMessage then explains why.
//
// Options for NMailSetOption (it returns 0, or -1 for an unknown option or a value below 1):
//   1     capacity in bytes of the text buffers A-D (default 8192); a buffer's span size also limits it
//   1001  time allowed for connecting, in milliseconds (default 15000)
//   1002  time allowed for each response, in milliseconds (default 30000); for a multi-line response
//         the limit applies to every pause in the data
// and, through the overload that takes a text (it returns 0, or -1 for another option or a file that
// cannot be opened):
//   1003  a PEM file holding one more root certificate to trust besides the system's, for tests against
//         a server whose certificate a test CA signed; the empty text goes back to the system's roots only
//
// Server names: "host", "host:port", "[IPv6]:port" connect in clear and turn to TLS with STLS whenever the server lists
// it in CAPA; port 995 and "pop3s://host[:port]" use TLS from the first byte (port 995 by default);
// "pop3://host[:port]" stays in clear: it asks CAPA too, for PIPELINING, but never sends STLS. With TLS the server's
// certificate must chain to a trusted root, be valid now, be meant for servers and name the host in its subjectAltName,
// never only in its CN (an IP address only among the IP entries, also one written as "127.1" or "2130706433"; a
// wildcard only as the whole leftmost label, with two labels after it, and never straight over a second-level domain
// open to all such as co.jp; printable ASCII only); TLS 1.2 at least, and a TLS 1.2 server may not renegotiate. SNI is
// the name without a final dot, and none for an address. When TLS was chosen and fails, the connection ends before
// anything else is sent. The connect time limit covers the TCP connect and, once more, the TLS handshake.
//
// Text buffers filled by NMailPop3GetMailStatus and NMailPop3GetMail, each NUL-terminated and cut to fit:
//   a  Subject field, b  Date field, c  From field (values unfolded, raw encoded words kept)
//   d  the whole header, each line ending in CRLF
// NMailPop3GetMailStatus and NMailPop3GetMail return 0 on success; NMailPop3Close returns 0, or -1 for a
// handle that is not open; NMailGetMessage(W) returns 0, or -1 when it has no buffer to write to. Its code
// argument is not looked at: the text is always that of the last failure on any handle.
// NMailPop3GetMailStatus, NMailPop3GetMailSize and NMailPop3GetMail return kConnectionGone (-2) instead of -1
// when the connection is gone (dropped, timed out, out of step): every later call on that handle fails too.
// Past a reply's bounds, or 5 minutes after login, the connection is closed and every later call returns
// kConnectionGone. Those bounds and time limits, and which commands go out ahead with PIPELINING, are written
// once, in README.md's "How the mail check talks to the server"; platform/nmail/README.md maps the layers.
// The body buffer of NMailPop3GetMail receives the message body after the header's blank line, with
// CRLF line ends and dot-stuffing removed.
#pragma once

#include <span>
#include <string_view>

namespace nmail {

inline constexpr int kOptionTextCapacity = 1;
inline constexpr int kOptionConnectTimeoutMs = 1001;
inline constexpr int kOptionResponseTimeoutMs = 1002;
inline constexpr int kOptionExtraRootFile = 1003;
inline constexpr int kConnectionGone = -2;

int NMailInitializeWinSock();                            // WSAStartup on Windows; no-op success elsewhere
int NMailEndWinSock();                                   // WSACleanup; closes any open connections
int NMailSetOption(int option, int value);               // options 1, 1001 and 1002 (see above)
int NMailSetOption(int option, std::string_view value);  // option 1003 only (see above)
int NMailPop3Connect(std::string_view server);           // ANSI bytes. Handle >= 0, or -1
int NMailPop3Authenticate(int handle,
                          std::string_view user,
                          std::string_view password,
                          int apop);  // apop != 0 asks APOP. Returns STAT message count, negative on any failure
int NMailPop3GetMailStatus(int handle,
                           int number,
                           std::span<char> a,
                           std::span<char> b,
                           std::span<char> c,
                           std::span<char> d,
                           int flag);
int NMailPop3GetMailSize(int handle, int number);  // octets from LIST n, negative on failure
int NMailPop3GetMail(int handle,
                     int number,
                     std::span<char> a,
                     std::span<char> b,
                     std::span<char> c,
                     std::span<char> d,
                     std::span<char> body,
                     int flag1,
                     int flag2);
int NMailPop3Close(int handle);  // QUIT and close
int NMailGetMessage(int code,
                    char* buffer,
                    int* capacity);  // readable Japanese text of the last failure, NUL-terminated, never more than
                                     // *capacity bytes including the NUL
int NMailGetMessageW(int code, wchar_t* buffer, int* capacity);  // the same, wide; *capacity counts wchar_t

}  // namespace nmail
