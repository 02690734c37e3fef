// Window regions: the gdi32 calls that build and record the mascot's outline.
// Region_win.cpp calls gdi32; Region_headless.cpp keeps its own banded rectangle lists,
// producing the same records byte for byte.
#pragma once

#include <cstdint>

namespace platform {

using RegionHandle = void*;

constexpr int kRgnOr = 2;                    // RGN_OR
constexpr std::uint32_t kRdhRectangles = 1;  // RDH_RECTANGLES

struct Xform {
    float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
};

// RGNDATAHEADER as the window system lays it out: 32 bytes, rectangles follow.
struct RegionDataHeader {
    std::uint32_t dwSize;
    std::uint32_t iType;
    std::uint32_t nCount;
    std::uint32_t nRgnSize;
    std::int32_t left, top, right, bottom;
};
static_assert(sizeof(RegionDataHeader) == 32);

struct RegionRect {
    std::int32_t left, top, right, bottom;
};
static_assert(sizeof(RegionRect) == 16);

class Regions {
public:
    virtual ~Regions() = default;
    virtual RegionHandle CreateRectRgn(int left, int top, int right, int bottom) = 0;
    virtual int CombineRgn(RegionHandle dest, RegionHandle src1, RegionHandle src2, int mode) = 0;
    // With data null, returns the bytes needed; otherwise writes header and rectangles when size suffices.
    virtual std::uint32_t GetRegionData(RegionHandle region, std::uint32_t size, void* data) = 0;
    virtual RegionHandle ExtCreateRegion(const Xform* xform, std::uint32_t count, const void* data) = 0;
    virtual bool DeleteObject(RegionHandle region) = 0;
};

}  // namespace platform
