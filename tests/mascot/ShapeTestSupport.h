// Pictures drawn in code and a pixel-set view of regions, shared by the mascot's shape tests.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mascot/FrameShape.h"
#include "platform/forms/Picture.h"
#include "tests/support/TempFolder.h"

namespace shape_test {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

constexpr platform::Colour kSilver = platform::Rgb(192, 192, 192);

// An 80 × 100 picture on a silver background unless told otherwise.
inline platform::Picture MakePicture(platform::Colour background = kSilver, int width = 80, int height = 100) {
    platform::Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(size_t(width) * size_t(height), background);
    return p;
}

inline void Fill(platform::Picture& p, int left, int top, int right, int bottom, platform::Colour c) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            p.pixels[size_t(y) * size_t(p.width) + size_t(x)] = c;
}

// Reads as a picture box does: -1 outside the picture.
inline mascot::PixelReader Reader(const platform::Picture& p) {
    return [&p](int x, int y) -> std::int64_t {
        if (x < 0 || y < 0 || x >= p.width || y >= p.height)
            return -1;
        return p.At(x, y);
    };
}

inline PixelSet Rasterize(const std::vector<platform::RegionRect>& rects) {
    PixelSet set;
    for (const auto& r : rects)
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                set.insert({x, y});
    return set;
}

// The points of the 101 × 101 scan that differ from the picture's top-left pixel.
inline PixelSet ExpectedOutline(const mascot::PixelReader& pixel) {
    PixelSet set;
    std::int64_t key = pixel(0, 0);
    for (int y = 0; y <= mascot::kScanLast; ++y)
        for (int x = 0; x <= mascot::kScanLast; ++x)
            if (pixel(x, y) != key)
                set.insert({x, y});
    return set;
}

// The shipped frame picture n (0..3), or null when the pictures have not been generated.
inline platform::PicturePtr ShippedFrame(int n) {
    return platform::DecodePicture(
        TempFolder::Take(std::string(SORABUNE_FRAMES_DIR) + "/girl" + std::to_string(n) + ".gif"));
}

}  // namespace shape_test
