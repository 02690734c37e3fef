// The shapes drawn in code and a pixel-set view of regions, shared by the mascot's shape tests.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mascot/FrameShape.h"
#include "platform/base/File.h"
#include "platform/forms/Picture.h"
#include "tests/e2e/shape_check/shape_cases.h"

namespace shape_test {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

// The pictures are drawn by the same helpers as the outline check's list of shapes.
using shape_check::Blank;
using shape_check::Checkerboard;
using shape_check::Figure;
using shape_check::Fill;
using shape_check::kSilver;
using shape_check::Reader;

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

// The outline check's list of shapes, with the shipped frames read from the source tree.
inline std::vector<shape_check::Case> Cases() {
    return shape_check::Cases(platform::WidePath(SORABUNE_FRAMES_DIR));
}

}  // namespace shape_test
