// The multimedia command-string interface (mciSendString), used for the sound effect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class Mci {
public:
    virtual ~Mci() = default;
    // No return buffer and no callback window; the result is the MCI error code, 0 on success.
    virtual std::uint32_t SendString(std::wstring_view command) = 0;
    // The short (8.3) path of an existing file, or empty when the system gives none.
    virtual std::wstring ShortPath(std::wstring_view path) = 0;
};

}  // namespace platform
