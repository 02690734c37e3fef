// Windows' data protection (crypt32's CryptProtectData, loaded on first use) with the current user's key:
// the blob opens only for the same user, on the same system or one that roams that user's keys. No prompt
// is ever shown.
#include "platform/Protect.h"

#include <windows.h>

#include <dpapi.h>

namespace platform {
namespace {

DATA_BLOB Blob(std::string_view bytes) {
    return DATA_BLOB{DWORD(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// The output blob, freed with LocalFree after its bytes are wiped.
class OutputBlob {
public:
    OutputBlob() = default;
    OutputBlob(const OutputBlob&) = delete;
    OutputBlob& operator=(const OutputBlob&) = delete;
    ~OutputBlob() {
        if (blob.pbData) {
            SecureZeroMemory(blob.pbData, blob.cbData);
            LocalFree(blob.pbData);
        }
    }
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(blob.pbData), blob.cbData); }
    DATA_BLOB blob{0, nullptr};
};

bool Fits(std::string_view bytes) {
    return bytes.size() <= MAXDWORD;
}

}  // namespace

std::optional<std::string> ProtectForUser(std::string_view plain, std::string_view entropy) {
    if (!Fits(plain) || !Fits(entropy))
        return std::nullopt;
    DATA_BLOB in = Blob(plain);
    DATA_BLOB salt = Blob(entropy);
    OutputBlob out;
    if (!CryptProtectData(&in, nullptr, &salt, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

std::optional<std::string> UnprotectForUser(std::string_view blob, std::string_view entropy) {
    if (!Fits(blob) || !Fits(entropy))
        return std::nullopt;
    DATA_BLOB in = Blob(blob);
    DATA_BLOB salt = Blob(entropy);
    OutputBlob out;
    if (!CryptUnprotectData(&in, nullptr, &salt, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

void WipeBytes(void* data, std::size_t size) {
    SecureZeroMemory(data, size);
}

}  // namespace platform
