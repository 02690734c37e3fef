// A scripted mail library that records every call the mail check makes, in order. The program calls nmail's
// functions directly; the tests' programs link FakeMailLibrary.cpp, whose definitions of those functions act
// on the newest FakeMailLibrary alive, in place of the library's own (NMail.cpp is then never linked in).
#pragma once

#include <functional>
#include <string>
#include <vector>

class FakeMailLibrary final {
public:
    FakeMailLibrary() : previous_(current_) { current_ = this; }
    ~FakeMailLibrary() { current_ = previous_; }
    FakeMailLibrary(const FakeMailLibrary&) = delete;
    FakeMailLibrary& operator=(const FakeMailLibrary&) = delete;

    // The one the library's functions act on.
    static FakeMailLibrary& Current() { return *current_; }

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

    bool Gone(int n) const { return goneFrom > 0 && n >= goneFrom; }
    void Log(std::string call) { calls.push_back(std::move(call)); }

private:
    static inline FakeMailLibrary* current_ = nullptr;
    FakeMailLibrary* previous_;
};
