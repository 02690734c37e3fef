// Window regions straight from gdi32: the records the mascot stores are the system's own.
#include <windows.h>

#include "platform/Backends_win.h"

namespace platform {

static_assert(sizeof(Xform) == sizeof(XFORM));
static_assert(sizeof(RegionDataHeader) == sizeof(RGNDATAHEADER));
static_assert(kRgnOr == RGN_OR && kRdhRectangles == RDH_RECTANGLES);

namespace {
HRGN Rgn(RegionHandle region) {
    return static_cast<HRGN>(region);
}
}  // namespace

RegionHandle Win32Regions::CreateRectRgn(int left, int top, int right, int bottom) {
    return ::CreateRectRgn(left, top, right, bottom);
}

int Win32Regions::CombineRgn(RegionHandle dest, RegionHandle src1, RegionHandle src2, int mode) {
    return ::CombineRgn(Rgn(dest), Rgn(src1), Rgn(src2), mode);
}

std::uint32_t Win32Regions::GetRegionData(RegionHandle region, std::uint32_t size, void* data) {
    return ::GetRegionData(Rgn(region), size, static_cast<RGNDATA*>(data));
}

RegionHandle Win32Regions::ExtCreateRegion(const Xform* xform, std::uint32_t count, const void* data) {
    return ::ExtCreateRegion(reinterpret_cast<const XFORM*>(xform), count, static_cast<const RGNDATA*>(data));
}

bool Win32Regions::DeleteObject(RegionHandle region) {
    return ::DeleteObject(Rgn(region)) != FALSE;
}

}  // namespace platform
