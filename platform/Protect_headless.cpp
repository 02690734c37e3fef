// NOT PROTECTION: a stand-in for the native tests. The "blob" is a fixed mark, the entropy and the plain
// bytes as they are, so that anyone can read it back; it only lets the tests tell a value of ours from an
// altered or foreign one.
#include "platform/Protect.h"

#ifdef _WIN32
#error "Protect_headless.cpp protects nothing: Windows builds use Protect_win.cpp"
#endif

namespace platform {
namespace {

constexpr std::string_view kStandInMark = "UNPROTECTED-STAND-IN:";

std::string Prefix(std::string_view entropy) {
    return std::string(kStandInMark) + std::to_string(entropy.size()) + ":" + std::string(entropy);
}

}  // namespace

std::optional<std::string> ProtectForUser(std::string_view plain, std::string_view entropy) {
    return Prefix(entropy) + std::string(plain);
}

std::optional<std::string> UnprotectForUser(std::string_view blob, std::string_view entropy) {
    std::string prefix = Prefix(entropy);
    if (blob.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    return std::string(blob.substr(prefix.size()));
}

void WipeBytes(void* data, std::size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = 0;
}

}  // namespace platform
