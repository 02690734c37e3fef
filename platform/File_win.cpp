// Whole-file access through the wide file functions, so that any path the system can name works
// whatever the ANSI code page. A replacement is written to a file beside the target and then moved over
// it, so the target holds either its old bytes or all the new ones.
#include "platform/File.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (valid())
            CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    bool Close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != FALSE;
    }

private:
    HANDLE h_;
};

bool WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : DWORD(bytes.size());
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A fresh file beside `target`, named after it so that it lands on the same volume.
HANDLE CreateSibling(const std::wstring& target, std::wstring& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool IsOrdinaryFile(std::wstring_view path) {
    DWORD attributes = GetFileAttributesW(std::wstring(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::optional<std::string> ReadWholeFile(std::wstring_view path, size_t maxBytes) {
    FileHandle file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return std::nullopt;
    std::string bytes;
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buf, sizeof buf, &n, nullptr))
            return std::nullopt;
        if (n == 0)
            return bytes;
        if (n > maxBytes - bytes.size())
            return std::nullopt;  // Stops before a huge file is held whole.
        bytes.append(buf, n);
    }
}

bool ReplaceWholeFile(std::wstring_view path, std::string_view bytes) {
    std::wstring target(path);
    std::wstring temp;
    FileHandle file(CreateSibling(target, temp));
    if (!file.valid())
        return false;
    bool ok = WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
    ok = file.Close() && ok;
    if (ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temp.c_str());
    return false;
}

std::wstring WorkingDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(size, L'\0');
    DWORD n = size ? GetCurrentDirectoryW(size, path.data()) : 0;
    path.resize(n < size ? n : 0);
    return path;
}

}  // namespace platform
