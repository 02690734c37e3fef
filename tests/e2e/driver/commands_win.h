// The driver's command set: one function per command line, answering with one JSON object.
#pragma once

#include <string>
#include <string_view>

namespace sbdriver {

// Runs one command line (already decoded from UTF-8) and returns the reply line without newline.
// Never throws: failures become {"ok":false,"error":...}.
std::string runCommand(std::wstring_view line);

// The first line the driver writes, so the harness knows it is up and what system it runs on.
std::string readyLine();

}  // namespace sbdriver
