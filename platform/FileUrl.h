// The file URL of a Windows path, as the browser and the shell take it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "C:\Program Files\空舟\about.html" -> "file:///C:/Program%20Files/空舟/about.html"; "\\server\share\x" ->
// "file://server/share/x". ASCII characters that would end or change the path in a URL are %-escaped;
// other characters stay as they are, as the system's own conversion leaves them. Runs of separators
// collapse to one, so a drive root's folder ("C:\") can take a name that begins with "\".
std::wstring FileUrl(std::wstring_view windowsPath);

}  // namespace platform
