// The library's entry points: a small table of open sessions, the options, and the last failure's text.
// Calls come from one thread, the program's GUI thread.
#include "platform/nmail/NMail.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/base/CodePage.h"
#include "platform/nmail/Connection.h"
#include "platform/nmail/Messages.h"
#include "platform/nmail/Pop3Session.h"
#include "platform/nmail/ServerAddress.h"
#include "platform/nmail/Socket.h"

namespace nmail {
namespace {

constexpr size_t kMaxConnections = 16;

struct Options {
    size_t textCapacity = 8192;
    std::chrono::milliseconds connectTimeout{15000};
    std::chrono::milliseconds responseTimeout{30000};
    std::string extraRootFile;
};

Options gOptions;
std::array<std::unique_ptr<Pop3Session>, kMaxConnections> gSessions;
std::wstring gLastError;

int Failure(std::wstring_view text) {
    gLastError = text;
    return -1;
}

// The open session of a handle, with the current response time limit, or null (and the failure noted).
Pop3Session* Find(int handle) {
    if (handle < 0 || size_t(handle) >= kMaxConnections || !gSessions[size_t(handle)]) {
        gLastError = text::kBadHandle;
        return nullptr;
    }
    Pop3Session* session = gSessions[size_t(handle)].get();
    session->SetResponseTimeout(gOptions.responseTimeout);
    return session;
}

int Outcome(Pop3Session& session, int result) {
    if (result < 0)
        gLastError = session.Error();
    return result;
}

// The result of a per-message call: kConnectionGone tells the caller that no later call can succeed.
int MessageOutcome(Pop3Session& session, int result) {
    Outcome(session, result);
    return result < 0 && session.Dead() ? kConnectionGone : result;
}

std::wstring_view LastErrorText(int) {
    return gLastError.empty() ? text::kNoError : gLastError;
}

// The text into the caller's buffer, NUL-terminated and cut to its capacity (counted in characters).
template <typename Char>
int CopyOut(std::basic_string_view<Char> text, Char* buffer, const int* capacity) {
    if (buffer == nullptr || capacity == nullptr || *capacity < 1)
        return -1;
    size_t n = std::min(text.size(), size_t(*capacity) - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = Char(0);
    return 0;
}

MailBuffers Buffers(std::span<char> a, std::span<char> b, std::span<char> c, std::span<char> d, std::span<char> body) {
    return MailBuffers{SpanWriter(a, gOptions.textCapacity), SpanWriter(b, gOptions.textCapacity),
                       SpanWriter(c, gOptions.textCapacity), SpanWriter(d, gOptions.textCapacity), SpanWriter(body)};
}

}  // namespace

int NMailInitializeWinSock() {
    if (StartNetwork())
        return 0;
    return Failure(text::kNetworkStartFailed);
}

int NMailEndWinSock() {
    for (auto& session : gSessions)
        session.reset();
    StopNetwork();
    return 0;
}

int NMailSetOption(int option, int value) {
    if (value < 1)
        return -1;
    switch (option) {
        case kOptionTextCapacity: gOptions.textCapacity = size_t(value); return 0;
        case kOptionConnectTimeoutMs: gOptions.connectTimeout = std::chrono::milliseconds(value); return 0;
        case kOptionResponseTimeoutMs: gOptions.responseTimeout = std::chrono::milliseconds(value); return 0;
        default: return -1;
    }
}

int NMailSetOption(int option, std::string_view value) {
    if (option != kOptionExtraRootFile)
        return -1;
    std::string path(value);
    if (!path.empty()) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr)
            return -1;
        std::fclose(file);
    }
    gOptions.extraRootFile = std::move(path);
    return 0;
}

int NMailPop3Connect(std::string_view server) {
    auto address = ParseServerAddress(server);
    if (!address)
        return Failure(text::kBadServerName);
    size_t slot = 0;
    while (slot < kMaxConnections && gSessions[slot])
        ++slot;
    if (slot == kMaxConnections)
        return Failure(text::kTooManyConnections);

    std::wstring error;
    auto session = OpenSession(
        *address, ConnectSettings{gOptions.connectTimeout, gOptions.responseTimeout, gOptions.extraRootFile}, error);
    if (!session)
        return Failure(error);
    gSessions[slot] = std::move(session);
    return int(slot);
}

int NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) {
    Pop3Session* session = Find(handle);
    if (!session)
        return -1;
    return Outcome(*session, session->Login(user, password, apop != 0));
}

int NMailPop3GetMailStatus(int handle,
                           int number,
                           std::span<char> a,
                           std::span<char> b,
                           std::span<char> c,
                           std::span<char> d,
                           int) {
    MailBuffers buffers = Buffers(a, b, c, d, {});
    Pop3Session* session = Find(handle);
    if (!session)
        return -1;
    return MessageOutcome(*session, session->FetchHeader(number, buffers) ? 0 : -1);
}

int NMailPop3GetMailSize(int handle, int number) {
    Pop3Session* session = Find(handle);
    if (!session)
        return -1;
    return MessageOutcome(*session, session->MessageSize(number));
}

int NMailPop3GetMail(int handle,
                     int number,
                     std::span<char> a,
                     std::span<char> b,
                     std::span<char> c,
                     std::span<char> d,
                     std::span<char> body,
                     int,
                     int) {
    MailBuffers buffers = Buffers(a, b, c, d, body);
    Pop3Session* session = Find(handle);
    if (!session)
        return -1;
    return MessageOutcome(*session, session->FetchMessage(number, buffers) ? 0 : -1);
}

int NMailPop3Close(int handle) {
    // A handle that is not open is left alone, and so is the last failure's text.
    if (handle < 0 || size_t(handle) >= kMaxConnections || !gSessions[size_t(handle)])
        return -1;
    gSessions[size_t(handle)]->SetResponseTimeout(gOptions.responseTimeout);
    gSessions[size_t(handle)]->Quit();
    gSessions[size_t(handle)].reset();
    return 0;
}

int NMailGetMessage(int code, char* buffer, int* capacity) {
    return CopyOut<char>(platform::ToAnsi(LastErrorText(code)), buffer, capacity);
}

int NMailGetMessageW(int code, wchar_t* buffer, int* capacity) {
    return CopyOut<wchar_t>(LastErrorText(code), buffer, capacity);
}

}  // namespace nmail
