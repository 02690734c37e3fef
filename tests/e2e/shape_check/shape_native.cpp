// The native half of the outline check.
//   shape_native build FRAMES_FOLDER HEX_FILE   the same cases as shape_check.exe, on the headless regions
//   shape_native compare WINDOWS_HEX NATIVE_HEX one PASS or FAIL line per record, naming the first
//                                               difference, then "N passed, N failed"
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Region_headless.h"
#include "platform/base/File.h"
#include "tests/e2e/shape_check/shape_cases.h"

namespace {

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

struct Line {
    std::string key;  // "<case> <build>"
    std::string hex;
};

std::optional<std::vector<Line>> ReadHexFile(const char* path) {
    std::optional<std::string> text = platform::ReadWholeFile(Wide(path));
    if (!text)
        return std::nullopt;
    std::vector<Line> lines;
    std::istringstream in(*text);
    std::string name, build, hex;
    while (in >> name >> build >> hex)
        lines.push_back({name + " " + build, hex});
    return lines;
}

int Compare(const char* windowsPath, const char* nativePath) {
    auto windows = ReadHexFile(windowsPath), native = ReadHexFile(nativePath);
    if (!windows || !native) {
        std::printf("FAIL cannot read %s\n", !windows ? windowsPath : nativePath);
        return 1;
    }
    std::map<std::string, std::string> nativeByKey;
    for (const Line& l : *native)
        nativeByKey[l.key] = l.hex;
    int passed = 0, failed = 0;
    for (const Line& l : *windows) {
        auto found = nativeByKey.find(l.key);
        mascot::RegionRecord gdi, headless;
        std::string verdict;
        if (found == nativeByKey.end())
            verdict = "no native record";
        else if (!shape_check::RecordFromHex(l.hex, gdi) || !shape_check::RecordFromHex(found->second, headless))
            verdict = "not hex";
        else if (gdi.bytes != headless.bytes)
            verdict = shape_check::FirstDifference(gdi, "gdi32", headless, "headless");
        if (verdict.empty()) {
            ++passed;
            std::printf("PASS %s: gdi32 and headless records equal\n", l.key.c_str());
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", l.key.c_str(), verdict.c_str());
        }
        if (found != nativeByKey.end())
            nativeByKey.erase(found);
    }
    for (const auto& [key, hex] : nativeByKey) {
        ++failed;
        std::printf("FAIL %s: no gdi32 record\n", key.c_str());
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc == 4 ? argv[1] : "";
    if (command == "build") {
        platform::HeadlessRegions regions;
        int failed = shape_check::RunCases(regions, Wide(argv[2]), Wide(argv[3]));
        if (regions.LiveCount() != 0) {
            std::printf("FAIL %zu regions left undeleted\n", regions.LiveCount());
            return 1;
        }
        return failed == 0 ? 0 : 1;
    }
    if (command == "compare")
        return Compare(argv[2], argv[3]);
    std::fprintf(stderr, "usage: shape_native build FRAMES_FOLDER HEX_FILE | compare WINDOWS_HEX NATIVE_HEX\n");
    return 2;
}
