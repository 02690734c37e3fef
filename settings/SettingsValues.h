// The six program-wide settings values. They belong to no window and live for the whole run.
#pragma once

#include <cstdint>
#include <string>

namespace settings {

struct SettingsValues {
    std::wstring SmtpServer;
    std::wstring Pop3Server;
    std::wstring MailAddress;
    std::int16_t UseApop = 0;  // non-zero asks for APOP
    std::wstring UserId;
    std::wstring UserPassword;
};

}  // namespace settings
