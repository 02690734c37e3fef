// Conversion between the program's wide strings and the system's ANSI code page.
// Settings files, mail-library arguments and profile values are bytes in that code page.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

// The headless backend converts with this code page (932 by default); Windows uses the system's.
void SetAnsiCodePage(int codePage);
int AnsiCodePage();

}  // namespace platform
