// Headless sound, dial-up and browser backends: they record every call and answer from a script.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Browser.h"
#include "platform/DialUp.h"
#include "platform/Mci.h"

namespace platform {

class HeadlessMci final : public Mci {
public:
    std::uint32_t SendString(std::wstring_view command) override {
        commands.emplace_back(command);
        return result;
    }
    std::wstring ShortPath(std::wstring_view path) override {
        auto found = shortPaths.find(std::wstring(path));
        return found == shortPaths.end() ? std::wstring() : found->second;
    }
    std::vector<std::wstring> commands;
    std::uint32_t result = 0;
    std::map<std::wstring, std::wstring> shortPaths;  // long path -> short path
};

class HeadlessDialUp final : public DialUp {
public:
    std::uint32_t EnumConnections(std::vector<DialUpConnection>& out) override {
        ++enumerations;
        if (enumResult == 0)
            out = active;
        return enumResult;
    }
    std::uint32_t HangUp(DialUpConnection connection) override {
        hungUp.push_back(connection);
        return 0;
    }
    std::vector<DialUpConnection> active;
    std::uint32_t enumResult = 0;
    int enumerations = 0;
    std::vector<DialUpConnection> hungUp;
};

class HeadlessBrowser final : public Browser {
public:
    bool NavigateInternetExplorer(std::wstring_view url) override {
        automationAttempts.emplace_back(url);
        return automationAvailable;
    }
    void OpenDefault(std::wstring_view url) override { opened.emplace_back(url); }
    bool automationAvailable = false;
    std::vector<std::wstring> automationAttempts;
    std::vector<std::wstring> opened;
};

}  // namespace platform
