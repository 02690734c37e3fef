// The font of every control: the system's message font, or a face the system lists for Japanese
// when the message font cannot show Japanese text.
#pragma once

#include <windows.h>

namespace platform::win {

HFONT CreateUiFont();

}  // namespace platform::win
