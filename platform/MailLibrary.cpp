// Forwards the mail check's calls to our POP3 client.
#include "platform/MailLibrary.h"

#include "platform/nmail/NMail.h"

namespace platform {
namespace {

class NMailLibrary final : public MailLibrary {
public:
    int NMailInitializeWinSock() override { return nmail::NMailInitializeWinSock(); }
    int NMailSetOption(int option, int value) override { return nmail::NMailSetOption(option, value); }
    int NMailEndWinSock() override { return nmail::NMailEndWinSock(); }
    int NMailPop3Connect(std::string_view server) override { return nmail::NMailPop3Connect(server); }
    int NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) override {
        return nmail::NMailPop3Authenticate(handle, user, password, apop);
    }
    int NMailPop3GetMailStatus(int handle,
                               int number,
                               std::span<char> a,
                               std::span<char> b,
                               std::span<char> c,
                               std::span<char> d,
                               int flag) override {
        return nmail::NMailPop3GetMailStatus(handle, number, a, b, c, d, flag);
    }
    int NMailPop3GetMailSize(int handle, int number) override { return nmail::NMailPop3GetMailSize(handle, number); }
    int NMailPop3GetMail(int handle,
                         int number,
                         std::span<char> a,
                         std::span<char> b,
                         std::span<char> c,
                         std::span<char> d,
                         std::span<char> body,
                         int flag1,
                         int flag2) override {
        return nmail::NMailPop3GetMail(handle, number, a, b, c, d, body, flag1, flag2);
    }
    int NMailPop3Close(int handle) override { return nmail::NMailPop3Close(handle); }
    int NMailGetMessage(int code, char* buffer, int* capacity) override {
        return nmail::NMailGetMessage(code, buffer, capacity);
    }
    int NMailGetMessageW(int code, wchar_t* buffer, int* capacity) override {
        return nmail::NMailGetMessageW(code, buffer, capacity);
    }
};

}  // namespace

std::unique_ptr<MailLibrary> CreateNMailLibrary() {
    return std::make_unique<NMailLibrary>();
}

}  // namespace platform
