// The mail library as the mail check calls it. CreateNMailLibrary forwards to our POP3 client
// (platform/nmail); native tests substitute a recording fake.
#pragma once

#include <memory>
#include <span>
#include <string_view>

namespace platform {

// What the per-message calls (status, size, fetch) return once the connection is gone for good.
inline constexpr int kMailConnectionGone = -2;

class MailLibrary {
public:
    virtual ~MailLibrary() = default;
    virtual int NMailInitializeWinSock() = 0;
    virtual int NMailSetOption(int option, int value) = 0;
    virtual int NMailEndWinSock() = 0;
    virtual int NMailPop3Connect(std::string_view server) = 0;
    virtual int NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) = 0;
    virtual int NMailPop3GetMailStatus(int handle,
                                       int number,
                                       std::span<char> a,
                                       std::span<char> b,
                                       std::span<char> c,
                                       std::span<char> d,
                                       int flag) = 0;
    virtual int NMailPop3GetMailSize(int handle, int number) = 0;
    virtual int NMailPop3GetMail(int handle,
                                 int number,
                                 std::span<char> a,
                                 std::span<char> b,
                                 std::span<char> c,
                                 std::span<char> d,
                                 std::span<char> body,
                                 int flag1,
                                 int flag2) = 0;
    virtual int NMailPop3Close(int handle) = 0;
    virtual int NMailGetMessage(int code, char* buffer, int* capacity) = 0;
    // The same text, wide: the server's reply in it reads whole whatever the ANSI code page.
    virtual int NMailGetMessageW(int code, wchar_t* buffer, int* capacity) = 0;
};

// The real library: our POP3 client.
std::unique_ptr<MailLibrary> CreateNMailLibrary();

}  // namespace platform
