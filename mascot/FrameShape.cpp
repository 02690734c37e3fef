// Building and using the mascot's outline records.
#include "mascot/FrameShape.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Numeric.h"

namespace mascot {

using platform::RegionDataHeader;
using platform::RegionHandle;
using platform::RegionRect;
using platform::Regions;

namespace {

constexpr std::uint32_t kHeaderBytes = sizeof(RegionDataHeader);
constexpr std::uint32_t kRectBytes = sizeof(RegionRect);

struct Span {
    int left, right;
    bool operator==(const Span&) const = default;
};

// The spans of one scan row where the pixel differs from the key colour.
void RowSpans(const PixelReader& pixel, std::int64_t key, int y, std::vector<Span>& spans) {
    spans.clear();
    for (int x = 0; x <= kScanLast; ++x) {
        if (pixel(x, y) == key)
            continue;
        if (!spans.empty() && spans.back().right == x)
            ++spans.back().right;
        else
            spans.push_back({x, x + 1});
    }
}

// The outline's rectangles in the window system's order: rows with the same spans directly below one
// another form one band, as the system coalesces them.
std::vector<RegionRect> OutlineRects(const PixelReader& pixel) {
    std::int64_t key = pixel(0, 0);
    std::vector<RegionRect> rects;
    std::vector<Span> row, band;
    std::size_t bandStart = 0;
    int bandBottom = -1;
    for (int y = 0; y <= kScanLast; ++y) {
        RowSpans(pixel, key, y, row);
        if (row.empty())
            continue;
        if (bandBottom == y && row == band) {
            for (std::size_t i = bandStart; i < rects.size(); ++i)
                rects[i].bottom = y + 1;
        } else {
            bandStart = rects.size();
            for (const Span& s : row)
                rects.push_back({s.left, y, s.right, y + 1});
            std::swap(band, row);
        }
        bandBottom = y + 1;
    }
    return rects;
}

RegionHandle RegionFromRects(Regions& regions, const std::vector<RegionRect>& rects) {
    if (rects.empty())
        return regions.CreateRectRgn(0, 0, 0, 0);
    std::uint32_t rectBytes = std::uint32_t(rects.size()) * kRectBytes;
    RegionDataHeader header{kHeaderBytes,        platform::kRdhRectangles, std::uint32_t(rects.size()),
                            rectBytes,           rects.front().left,       rects.front().top,
                            rects.front().right, rects.back().bottom};
    for (const RegionRect& r : rects) {
        header.left = std::min(header.left, r.left);
        header.right = std::max(header.right, r.right);
    }
    std::vector<std::byte> data(kHeaderBytes + rectBytes);
    std::memcpy(data.data(), &header, kHeaderBytes);
    std::memcpy(data.data() + kHeaderBytes, rects.data(), rectBytes);
    platform::Xform identity;
    return regions.ExtCreateRegion(&identity, std::uint32_t(data.size()), data.data());
}

}  // namespace

RegionDataHeader RegionRecord::Header() const {
    RegionDataHeader header;
    std::memcpy(&header, bytes.data(), kHeaderBytes);
    return header;
}

std::vector<RegionRect> RegionRecord::Rects() const {
    std::size_t room = (bytes.size() - kHeaderBytes) / kRectBytes;
    std::vector<RegionRect> rects(std::min<std::size_t>(Header().nCount, room));
    if (!rects.empty())
        std::memcpy(rects.data(), bytes.data() + kHeaderBytes, rects.size() * kRectBytes);
    return rects;
}

void StoreRegion(Regions& regions, RegionHandle region, RegionRecord& record) {
    std::uint32_t needed = regions.GetRegionData(region, 0, nullptr);
    if (needed > record.bytes.size())
        record.bytes.resize(needed);
    regions.GetRegionData(region, std::uint32_t(record.bytes.size()), record.bytes.data());
}

void BuildRecordPerPixel(Regions& regions, const PixelReader& pixel, RegionRecord& record) {
    std::int64_t key = pixel(0, 0);
    RegionHandle outline = regions.CreateRectRgn(0, 0, 0, 0);
    for (int x = 0; x <= kScanLast; ++x) {
        for (int y = 0; y <= kScanLast; ++y) {
            if (pixel(x, y) == key)
                continue;
            RegionHandle dot = regions.CreateRectRgn(x, y, x + 1, y + 1);
            regions.CombineRgn(outline, outline, dot, platform::kRgnOr);
            regions.DeleteObject(dot);
        }
    }
    StoreRegion(regions, outline, record);
    regions.DeleteObject(outline);
}

void BuildRecordFast(Regions& regions, const PixelReader& pixel, RegionRecord& record) {
    RegionHandle outline = RegionFromRects(regions, OutlineRects(pixel));
    if (!outline) {
        // A window system that refuses the ready-made rectangles still gets the outline, the slow way.
        BuildRecordPerPixel(regions, pixel, record);
        return;
    }
    StoreRegion(regions, outline, record);
    regions.DeleteObject(outline);
}

RegionHandle CreateRegionFromRecord(Regions& regions, platform::Xform& xform, const RegionRecord& record) {
    xform = platform::Xform{};
    RegionDataHeader header = record.Header();
    std::int32_t count = platform::AddInt32(std::int32_t(header.dwSize), std::int32_t(header.nRgnSize));
    // The window system reads as many bytes as the count claims; never let that reach past the record.
    std::uint32_t readable = std::min<std::uint64_t>(std::uint32_t(count), record.bytes.size());
    return regions.ExtCreateRegion(&xform, readable, record.bytes.data());
}

}  // namespace mascot
