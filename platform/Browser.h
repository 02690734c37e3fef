// The browser: the "InternetExplorer.Application" automation object, and the default browser.
#pragma once

#include <string_view>

namespace platform {

class Browser {
public:
    virtual ~Browser() = default;
    // Creates the automation object, sets Visible and calls Navigate. False when it cannot be created, or
    // when Visible or Navigate fails.
    virtual bool NavigateInternetExplorer(std::wstring_view url) = 0;
    // Opens the address in the user's default browser.
    virtual void OpenDefault(std::wstring_view url) = 0;
};

}  // namespace platform
