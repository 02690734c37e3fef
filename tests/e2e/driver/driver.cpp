// sbdriver: the e2e tests' hands and eyes inside Wine. Reads one command per line on stdin (UTF-8)
// and answers each with one JSON line on stdout (UTF-8). See tests/e2e/harness/__init__.py for the
// command list as the tests use it.
#include <windows.h>

#include <string>

#include "commands_win.h"
#include "json.h"

namespace {

void writeLine(HANDLE out, const std::string& line) {
    std::string data = line + "\n";
    DWORD written = 0;
    for (size_t done = 0; done < data.size(); done += written) {
        if (!WriteFile(out, data.data() + done, static_cast<DWORD>(data.size() - done), &written, nullptr)) {
            ExitProcess(2);
        }
    }
    FlushFileBuffers(out);
}

}  // namespace

int wmain() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    writeLine(out, sbdriver::readyLine());
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line == "quit")
                return 0;
            if (line.empty())
                continue;
            writeLine(out, sbdriver::runCommand(sbdriver::fromUtf8(line)));
        }
    }
    return 0;
}
