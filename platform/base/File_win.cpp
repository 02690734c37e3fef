// Whole-file access through the wide file functions, so that any path the system can name works
// whatever the ANSI code page. A replacement is written to a file beside the target and then moved over
// it, so the target holds either its old bytes or all the new ones.
#include "platform/base/File.h"

#include <windows.h>

#include <string>

#include "platform/base/FileReplace_win.h"
#include "platform/base/Scoped.h"

namespace platform {
namespace {

struct FileTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};
using FileHandle = Scoped<FileTraits>;

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
        name = CopyName(target, attempt);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

constexpr ULONGLONG kHeldFileRetryMs = 2000;
constexpr DWORD kRetryPauseMs = 50;

bool IsHeld(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// Runs `step` until it succeeds, fails for another reason, or `deadline` (a GetTickCount64 time) passes.
template <typename Step>
bool RetryWhileHeld(ULONGLONG deadline, Step step) {
    for (;;) {
        if (step())
            return true;
        if (!IsHeld(GetLastError()) || GetTickCount64() >= deadline)
            return false;
        Sleep(kRetryPauseMs);
    }
}

bool Flush(const std::wstring& name) {
    FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get()) && CloseHandle(file.Release());
}

// Deletes the file and checks that it is gone: a scanner may hold it too, and a copy left behind may
// hold a password. One still there is removed by the next save (RemoveStaleCopies).
void Delete(const std::wstring& name, ULONGLONG deadline) {
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file's copy is read-only too
    RetryWhileHeld(deadline, [&] {
        if (!DeleteFileW(name.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        // A file deleted while another handle is open stays visible until that handle is closed.
        if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
        return true;
    });
}

}  // namespace

std::wstring CopyName(const std::wstring& target, int attempt) {
    return target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
}

void DeleteCopy(const std::wstring& copy) {
    Delete(copy, GetTickCount64() + kHeldFileRetryMs);
}

void RemoveStaleCopies(const std::wstring& target) {
    std::wstring pattern = target + L".~*";
    size_t nameStart = target.find_last_of(L"\\/") + 1;  // npos + 1 == 0
    std::wstring prefix = target.substr(nameStart) + L".~";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // The pattern also matches short (8.3) names: only a long name that begins like ours counts.
        std::wstring_view name(found.cFileName);
        bool ours = name.size() > prefix.size() && CompareStringOrdinal(name.data(), int(prefix.size()), prefix.data(),
                                                                        int(prefix.size()), TRUE) == CSTR_EQUAL;
        if (ours && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            Delete(target.substr(0, nameStart) + found.cFileName, GetTickCount64());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool MoveCopyOver(const std::wstring& copy, const std::wstring& target) {
    ULONGLONG deadline = GetTickCount64() + kHeldFileRetryMs;
    // On the disk before the rename, so that a power cut just after it cannot leave an empty file.
    bool ok = Flush(copy) && RetryWhileHeld(deadline, [&] {
                  return MoveFileExW(copy.c_str(), target.c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
              });
    if (!ok)
        DeleteCopy(copy);
    return ok;
}

bool IsOrdinaryFile(std::wstring_view path) {
    DWORD attributes = GetFileAttributesW(std::wstring(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::optional<std::string> ReadWholeFile(std::wstring_view path, size_t maxBytes) {
    FileHandle file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.Get(), buf, sizeof buf, &n, nullptr))
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
    RemoveStaleCopies(target);
    std::wstring temp;
    FileHandle file(CreateSibling(target, temp));
    if (!file)
        return false;
    bool ok = WriteAll(file.Get(), bytes);
    ok = CloseHandle(file.Release()) && ok;  // Closed now, so that a delayed write error is seen.
    if (ok)
        return MoveCopyOver(temp, target);
    DeleteCopy(temp);
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
