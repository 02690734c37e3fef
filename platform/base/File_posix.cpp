// Whole-file access for native builds. Wide paths are written the Windows way ("folder\file"): backslashes
// become slashes and the text is encoded as UTF-8, which is how the file system names files here.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/base/File.h"
#include "platform/base/Scoped.h"
#include "platform/base/Utf8.h"

namespace platform {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string NativePath(std::wstring_view path) {
    std::string out;
    out.reserve(path.size());
    for (wchar_t w : path) {
        char32_t c = char32_t(w);
        if (c == U'\\')
            c = U'/';
        else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;  // not a character: cannot name a file
        AppendUtf8(out, c);
    }
    return out;
}

struct FdTraits {
    using Handle = int;
    static int Empty() { return -1; }
    static void Free(int fd) { ::close(fd); }
};
using Fd = Scoped<FdTraits>;

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

// Opens a fresh file beside `target`; the permissions follow the umask, as a newly created file's would.
int CreateSibling(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

bool IsOrdinaryFile(std::wstring_view path) {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> ReadWholeFile(std::wstring_view path, size_t maxBytes) {
    Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return std::nullopt;
    std::string bytes;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;  // e.g. a folder
        if (n == 0)
            return bytes;
        if (size_t(n) > maxBytes - bytes.size())
            return std::nullopt;  // Stops before a huge file is held whole.
        bytes.append(buf, size_t(n));
    }
}

bool ReplaceWholeFile(std::wstring_view path, std::string_view bytes) {
    std::string target = NativePath(path);
    std::string temp;
    Fd fd(CreateSibling(target, temp));
    if (fd.Get() < 0)
        return false;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd.Get(), st.st_mode & 07777);
    bool ok = WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
    ok = ::close(fd.Release()) == 0 && ok;  // Closed now, so that a delayed write error is seen.
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

std::wstring WorkingDirectory() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::wstring() : WidePath(path.native());
}

std::wstring WidePath(std::string_view nativePath) {
    return FromUtf8(nativePath, L'\xFFFD');
}

}  // namespace platform
