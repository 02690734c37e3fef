// The mascot's outline: every frame picture is cut to the pixels that differ from its top-left pixel
// (the key colour), and the outline is stored once per load as region data so that a timer tick only
// has to make a region from a record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/base/Region.h"

namespace mascot {

// The outline scan covers x and y from 0 to this bound inclusive, one point past the 80 × 100 picture
// to the right and below.
constexpr int kScanLast = 100;
// A record holds the header and 401 rectangles; a region needing more makes its record grow.
constexpr std::size_t kRecordBytes = 32 + 401 * 16;

// Region data laid out as the window system's RGNDATA, zero-filled until a build writes it.
struct RegionRecord {
    std::vector<std::byte> bytes = std::vector<std::byte>(kRecordBytes);

    platform::RegionDataHeader Header() const;
    std::vector<platform::RegionRect> Rects() const;
};

// A picture box's pixel colour at (x, y) in pixels; -1, which no colour has, outside the picture.
using PixelReader = std::function<std::int64_t(int x, int y)>;

// The outline made as the window system's documentation suggests: one one-pixel region united into the
// result per non-key point. Slow; kept as the reference the fast build must match byte for byte.
void BuildRecordPerPixel(platform::Regions& regions, const PixelReader& pixel, RegionRecord& record);

// The same record from the picture's horizontal runs: the rectangles are worked out here in the window
// system's banded order and the system makes a single region from them.
void BuildRecordFast(platform::Regions& regions, const PixelReader& pixel, RegionRecord& record);

// Copies a region's data into the record, enlarging the record when the region needs more room.
void StoreRegion(platform::Regions& regions, platform::RegionHandle region, RegionRecord& record);

// A new region from a record; null when the window system refuses the data (a record never filled).
// The identity transform is written to `xform` first.
platform::RegionHandle CreateRegionFromRecord(platform::Regions& regions,
                                              platform::Xform& xform,
                                              const RegionRecord& record);

}  // namespace mascot
