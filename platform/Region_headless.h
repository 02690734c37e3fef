// Headless window regions for native tests and benchmarks. A region is kept the way the window
// system keeps it: y-x banded rectangles, bands top to bottom, rectangles left to right, touching
// rectangles merged and vertically adjacent bands with the same x-spans coalesced, so the region
// data it writes matches the window system's byte for byte.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <vector>

#include "platform/base/Region.h"

namespace platform {

constexpr int kRgnAnd = 1;
constexpr int kRgnXor = 3;
constexpr int kRgnDiff = 4;
constexpr int kRgnCopy = 5;

constexpr int kRegionError = 0;
constexpr int kNullRegion = 1;
constexpr int kSimpleRegion = 2;
constexpr int kComplexRegion = 3;

class HeadlessRegions final : public Regions {
public:
    HeadlessRegions();
    ~HeadlessRegions() override;

    RegionHandle CreateRectRgn(int left, int top, int right, int bottom) override;
    int CombineRgn(RegionHandle dest, RegionHandle src1, RegionHandle src2, int mode) override;
    std::uint32_t GetRegionData(RegionHandle region, std::uint32_t size, void* data) override;
    RegionHandle ExtCreateRegion(const Xform* xform, std::uint32_t count, const void* data) override;
    bool DeleteObject(RegionHandle region) override;

    // Regions created and not yet deleted.
    std::size_t LiveCount() const { return regions_.size(); }
    // The rectangles of a live region in banded order; empty for an unknown handle.
    std::vector<RegionRect> Rects(RegionHandle region) const;

private:
    using RectList = std::vector<RegionRect>;
    RectList* Find(RegionHandle region);
    const RectList* Find(RegionHandle region) const;
    RegionHandle Adopt(RectList rects);

    std::map<RegionHandle, std::unique_ptr<RectList>> regions_;
};

}  // namespace platform
