// The wide profile functions behind the byte interface: keys and values are converted between the
// ANSI code page and UTF-16 here, exactly as the ANSI functions would convert them. Several keys at once
// are written into a copy of the file, which then replaces it.
#include "platform/Profile_win.h"

#include <windows.h>

#include <string>

#include "platform/Protect.h"
#include "platform/base/CodePage.h"
#include "platform/base/FileReplace_win.h"

namespace platform {
namespace {

// kernel32 may keep recently used profile files in memory, checked against the file's time; after the file
// is replaced behind its back (possibly within one tick of the clock) it must read it afresh.
void ForgetCachedFile(const std::wstring& file) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
}

// A copy of `target` beside it, under a name no other file has; an empty new file when `target` is missing.
bool MakeCopy(const std::wstring& target, std::wstring& copy) {
    bool exists = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    for (int attempt = 0; attempt < 100; ++attempt) {
        copy = CopyName(target, attempt);
        if (exists) {
            if (CopyFileW(target.c_str(), copy.c_str(), TRUE))
                return true;
        } else {
            HANDLE h = CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                CloseHandle(h);
                return true;
            }
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

// The function cuts a long value to the buffer without saying so: a result that fills the buffer may have been
// cut, so grow and ask again. Every buffer given up is wiped first, as the value may be a password.
std::wstring ReadWide(std::wstring_view path,
                      std::string_view section,
                      std::string_view key,
                      std::string_view fallback) {
    std::wstring file(path);
    std::wstring sectionW = FromAnsi(section);
    std::wstring keyW = FromAnsi(key);
    std::wstring fallbackW = FromAnsi(fallback);
    std::wstring buffer(1024, L'\0');
    for (;;) {
        DWORD n = GetPrivateProfileStringW(sectionW.c_str(), keyW.c_str(), fallbackW.c_str(), buffer.data(),
                                           DWORD(buffer.size()), file.c_str());
        if (n + 1 < buffer.size()) {
            std::wstring value(buffer.data(), n);
            Wipe(buffer);
            return value;
        }
        size_t larger = buffer.size() * 2;
        Wipe(buffer);
        buffer.assign(larger, L'\0');
    }
}

}  // namespace

std::string Win32Profile::ReadString(std::wstring_view path,
                                     std::string_view section,
                                     std::string_view key,
                                     std::string_view fallback) {
    std::wstring value = ReadWide(path, section, key, fallback);
    std::string bytes = ToAnsi(value);
    Wipe(value);  // it may be a password
    return bytes;
}

std::wstring Win32Profile::ReadWideString(std::wstring_view path, std::string_view section, std::string_view key) {
    return ReadWide(path, section, key, "");
}

int Win32Profile::ReadInt(std::wstring_view path, std::string_view section, std::string_view key, int fallback) {
    std::wstring file(path);
    return int(GetPrivateProfileIntW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), fallback, file.c_str()));
}

bool Win32Profile::WriteString(std::wstring_view path,
                               std::string_view section,
                               std::string_view key,
                               std::string_view value) {
    std::wstring file(path);
    RemoveStaleCopies(file);
    return WritePrivateProfileStringW(FromAnsi(section).c_str(), FromAnsi(key).c_str(), FromAnsi(value).c_str(),
                                      file.c_str()) != FALSE;
}

bool Win32Profile::WriteStrings(std::wstring_view path,
                                std::string_view section,
                                std::initializer_list<ProfileEntry> entries) {
    std::wstring target(path);
    RemoveStaleCopies(target);
    std::wstring copy;
    if (!MakeCopy(target, copy))
        return false;
    std::wstring sectionW = FromAnsi(section);
    bool ok = true;
    for (const ProfileEntry& entry : entries) {
        ok = ok && WritePrivateProfileStringW(sectionW.c_str(), FromAnsi(entry.key).c_str(),
                                              FromAnsi(entry.value).c_str(), copy.c_str());
    }
    ForgetCachedFile(copy);
    if (ok)
        ok = MoveCopyOver(copy, target);
    else
        DeleteCopy(copy);
    ForgetCachedFile(target);
    return ok;
}

}  // namespace platform
