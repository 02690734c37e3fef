// Forwards the mail check's calls to our POP3 client.
#include "platform/MailLibrary.h"

#include "platform/nmail/NMail.h"

namespace platform {

int NMailLibrary::NMailInitializeWinSock() {
    return nmail::NMailInitializeWinSock();
}
int NMailLibrary::NMailSetOption(int option, int value) {
    return nmail::NMailSetOption(option, value);
}
int NMailLibrary::NMailEndWinSock() {
    return nmail::NMailEndWinSock();
}
int NMailLibrary::NMailPop3Connect(std::string_view server) {
    return nmail::NMailPop3Connect(server);
}
int NMailLibrary::NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) {
    return nmail::NMailPop3Authenticate(handle, user, password, apop);
}
int NMailLibrary::NMailPop3GetMailStatus(int handle,
                                         int number,
                                         std::span<char> a,
                                         std::span<char> b,
                                         std::span<char> c,
                                         std::span<char> d,
                                         int flag) {
    return nmail::NMailPop3GetMailStatus(handle, number, a, b, c, d, flag);
}
int NMailLibrary::NMailPop3GetMailSize(int handle, int number) {
    return nmail::NMailPop3GetMailSize(handle, number);
}
int NMailLibrary::NMailPop3GetMail(int handle,
                                   int number,
                                   std::span<char> a,
                                   std::span<char> b,
                                   std::span<char> c,
                                   std::span<char> d,
                                   std::span<char> body,
                                   int flag1,
                                   int flag2) {
    return nmail::NMailPop3GetMail(handle, number, a, b, c, d, body, flag1, flag2);
}
int NMailLibrary::NMailPop3Close(int handle) {
    return nmail::NMailPop3Close(handle);
}
int NMailLibrary::NMailGetMessage(int code, char* buffer, int* capacity) {
    return nmail::NMailGetMessage(code, buffer, capacity);
}

}  // namespace platform
