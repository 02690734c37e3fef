// Drawing decoded pictures with gdi32: each picture is turned into a 32-bit DIB once and kept.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

#include "platform/forms/Picture.h"

namespace platform::win {

class PictureDrawer {
public:
    // Draws the whole picture into the rectangle, stretched (nearest pixel) when sizes differ.
    void Draw(HDC dc, const PicturePtr& picture, const RECT& dest);

private:
    struct Dib {
        PicturePtr picture;  // keeps the key alive
        BITMAPINFO info{};
        std::vector<std::uint32_t> bits;
    };
    const Dib& Get(const PicturePtr& picture);

    std::map<const Picture*, Dib> dibs_;
};

}  // namespace platform::win
