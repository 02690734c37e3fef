// A scripted mail library that records every call the mail check makes, in order.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/MailLibrary.h"

class FakeMailLibrary final : public platform::MailLibrary {
public:
    int NMailInitializeWinSock() override { return Log("init"), 0; }
    int NMailSetOption(int option, int value) override {
        return Log("option " + std::to_string(option) + " " + std::to_string(value)), 0;
    }
    int NMailEndWinSock() override { return Log("end"), 0; }
    int NMailPop3Connect(std::string_view server) override {
        lastServer = std::string(server);
        return Log("connect"), connectResult;
    }
    int NMailPop3Authenticate(int handle, std::string_view user, std::string_view password, int apop) override {
        lastUser = std::string(user);
        lastPassword = std::string(password);
        lastApop = apop;
        return Log("login " + std::to_string(handle)), loginResult;
    }
    int NMailPop3GetMailStatus(int,
                               int n,
                               std::span<char> a,
                               std::span<char> b,
                               std::span<char> c,
                               std::span<char> d,
                               int) override {
        bufferSizes = {a.size(), b.size(), c.size(), d.size()};
        return Log("status " + std::to_string(n)), Gone(n) ? platform::kMailConnectionGone : 0;
    }
    int NMailPop3GetMailSize(int, int n) override {
        Log("size " + std::to_string(n));
        if (Gone(n))
            return platform::kMailConnectionGone;
        return n <= int(sizes.size()) ? sizes[size_t(n - 1)] : 100;
    }
    int NMailPop3GetMail(int,
                         int n,
                         std::span<char>,
                         std::span<char>,
                         std::span<char>,
                         std::span<char>,
                         std::span<char> body,
                         int,
                         int) override {
        fetchSizes.push_back(body.size());
        return Log("fetch " + std::to_string(n)), Gone(n) ? platform::kMailConnectionGone : fetchResult;
    }
    int NMailPop3Close(int handle) override { return Log("close " + std::to_string(handle)), 0; }
    int NMailGetMessage(int, char*, int*) override { return Log("message"), -1; }  // the check asks wide
    int NMailGetMessageW(int code, wchar_t* buffer, int* capacity) override {
        Log("messageW " + std::to_string(code) + " " + std::to_string(*capacity));
        if (onMessage)
            onMessage();
        std::copy_n(errorText.data(), std::min(errorText.size(), size_t(*capacity)), buffer);
        return 0;
    }

    int connectResult = 7;
    int loginResult = 0;
    std::vector<int> sizes;
    int fetchResult = 0;  // -1: the server refuses every message
    int goneFrom = 0;     // From this message on the connection is gone (0: never).
    std::wstring errorText = std::wstring(L"ログインできませんでした。サーバーの応答: -ERR bad password\0garbage", 47);
    std::vector<std::string> calls;
    std::vector<size_t> fetchSizes;
    std::vector<size_t> bufferSizes;
    std::string lastServer, lastUser, lastPassword;
    int lastApop = 0;
    std::function<void()> onMessage;  // runs inside NMailGetMessageW, to look at the program at that moment

private:
    bool Gone(int n) const { return goneFrom > 0 && n >= goneFrom; }
    void Log(std::string call) { calls.push_back(std::move(call)); }
};
