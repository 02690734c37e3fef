// Native side of the private-profile interoperability check: the commands of profile_tool.exe
// (read, readint, write) answered by HeadlessProfile, with the same hex arguments and output.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Profile_headless.h"
#include "platform/base/CodePage.h"

namespace {

std::string Unhex(const char* hex) {
    std::string out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        out += char(std::strtoul(pair, nullptr, 16));
    }
    return out;
}

// Paths arrive as UTF-8.
std::wstring Wide(const char* utf8) {
    std::wstring out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
        unsigned c = *p++;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra ? (0x3F >> extra) : 0x7F;
        for (; extra > 0 && (*p & 0xC0) == 0x80; --extra)
            c = (c << 6) | (*p++ & 0x3F);
        out += wchar_t(c);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5)
        return 2;
    platform::SetAnsiCodePage(932);
    platform::HeadlessProfile profile;
    std::string command = argv[1];
    std::wstring path = Wide(argv[2]);
    std::string section = Unhex(argv[3]);
    std::string key = Unhex(argv[4]);
    if (command == "read") {
        std::printf("hex:");
        for (unsigned char c : profile.ReadString(path, section, key, ""))
            std::printf("%02x", c);
        std::printf("\n");
    } else if (command == "readint" && argc >= 6) {
        std::printf("%d\n", profile.ReadInt(path, section, key, std::atoi(argv[5])));
    } else if (command == "write" && argc >= 6) {
        std::printf(profile.WriteString(path, section, key, Unhex(argv[5])) ? "ok\n" : "failed\n");
    } else {
        return 2;
    }
    return 0;
}
