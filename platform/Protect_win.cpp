// Windows' data protection (crypt32's CryptProtectData, loaded on first use) with the current user's key:
// the blob opens only for the same user, on the same system or one that roams that user's keys. No prompt
// is ever shown.
#include "platform/Protect.h"

#include <windows.h>

#include <dpapi.h>

#include "platform/base/Scoped.h"

namespace platform {
namespace {

DATA_BLOB Blob(std::string_view bytes) {
    return DATA_BLOB{DWORD(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// The output blob, freed with LocalFree after its bytes are wiped.
struct OutputBlobTraits {
    using Handle = DATA_BLOB;
    static DATA_BLOB Empty() { return DATA_BLOB{0, nullptr}; }
    static bool Held(const DATA_BLOB& blob) { return blob.pbData != nullptr; }
    static void Free(DATA_BLOB& blob) {
        SecureZeroMemory(blob.pbData, blob.cbData);
        LocalFree(blob.pbData);
    }
};

// `call(in, entropy, out)` is CryptProtectData or CryptUnprotectData with the program's settings.
template <class Call>
std::optional<std::string> Transform(std::string_view bytes, std::string_view entropy, Call call) {
    if (bytes.size() > MAXDWORD || entropy.size() > MAXDWORD)
        return std::nullopt;
    DATA_BLOB in = Blob(bytes);
    DATA_BLOB salt = Blob(entropy);
    Scoped<OutputBlobTraits> out;
    if (!call(&in, &salt, out.Put())) {
        out.Release();  // Whatever a failed call left there is not ours.
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out.Get().pbData), out.Get().cbData);
}

}  // namespace

std::optional<std::string> ProtectForUser(std::string_view plain, std::string_view entropy) {
    return Transform(plain, entropy, [](DATA_BLOB* in, DATA_BLOB* salt, DATA_BLOB* out) {
        return CryptProtectData(in, nullptr, salt, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, out);
    });
}

std::optional<std::string> UnprotectForUser(std::string_view blob, std::string_view entropy) {
    return Transform(blob, entropy, [](DATA_BLOB* in, DATA_BLOB* salt, DATA_BLOB* out) {
        return CryptUnprotectData(in, nullptr, salt, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, out);
    });
}

void WipeBytes(void* data, std::size_t size) {
    SecureZeroMemory(data, size);
}

}  // namespace platform
