// The mail library's functions as the tests' programs link them: each records the call on the current
// FakeMailLibrary and answers as it is scripted.
#include "tests/support/FakeMailLibrary.h"

#include <algorithm>

#include "platform/nmail/NMail.h"

namespace nmail {
namespace {
FakeMailLibrary& Fake() {
    return FakeMailLibrary::Current();
}
}  // namespace

int NMailInitializeWinSock() {
    return Fake().Log("init"), 0;
}

int NMailSetOption(int option, int value) {
    return Fake().Log("option " + std::to_string(option) + " " + std::to_string(value)), 0;
}

int NMailEndWinSock() {
    return Fake().Log("end"), 0;
}

int NMailPop3Connect(std::string_view server) {
    Fake().lastServer = std::string(server);
    return Fake().Log("connect"), Fake().connectResult;
}

int NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) {
    Fake().lastUser = std::string(user);
    Fake().lastPassword = std::string(password);
    Fake().lastApop = apop;
    return Fake().Log("login " + std::to_string(handle)), Fake().loginResult;
}

int NMailPop3GetMailStatus(int,
                           int n,
                           std::span<char> a,
                           std::span<char> b,
                           std::span<char> c,
                           std::span<char> d,
                           int) {
    Fake().bufferSizes = {a.size(), b.size(), c.size(), d.size()};
    return Fake().Log("status " + std::to_string(n)), Fake().Gone(n) ? kConnectionGone : 0;
}

int NMailPop3GetMailSize(int, int n) {
    Fake().Log("size " + std::to_string(n));
    if (Fake().Gone(n))
        return kConnectionGone;
    return n <= int(Fake().sizes.size()) ? Fake().sizes[size_t(n - 1)] : 100;
}

int NMailPop3GetMail(int,
                     int n,
                     std::span<char>,
                     std::span<char>,
                     std::span<char>,
                     std::span<char>,
                     std::span<char> body,
                     int,
                     int) {
    Fake().fetchSizes.push_back(body.size());
    return Fake().Log("fetch " + std::to_string(n)), Fake().Gone(n) ? kConnectionGone : Fake().fetchResult;
}

int NMailPop3Close(int handle) {
    return Fake().Log("close " + std::to_string(handle)), 0;
}

int NMailGetMessage(int, char*, int*) {
    return Fake().Log("message"), -1;  // the check asks wide
}

int NMailGetMessageW(int code, wchar_t* buffer, int* capacity) {
    Fake().Log("messageW " + std::to_string(code) + " " + std::to_string(*capacity));
    if (Fake().onMessage)
        Fake().onMessage();
    std::copy_n(Fake().errorText.data(), std::min(Fake().errorText.size(), size_t(*capacity)), buffer);
    return 0;
}

}  // namespace nmail
