// A decoded picture: what the windows draw and what picture boxes answer pixel reads from.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {

// Colours are 0x00BBGGRR, red in the low byte, as the window system stores them.
using Colour = std::uint32_t;

constexpr Colour Rgb(int r, int g, int b) {
    return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;  // row-major, top row first

    Colour At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

using PicturePtr = std::shared_ptr<const Picture>;

// Decodes GIF or BMP bytes. Returns null when the data is not a picture we can read.
PicturePtr DecodePicture(std::string_view bytes);

}  // namespace platform
