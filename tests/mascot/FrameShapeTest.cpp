// The outline records: what the per-pixel reference build stores, and that the fast build stores the
// very same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mascot/FrameShape.h"
#include "platform/Numeric.h"
#include "platform/Region_headless.h"
#include "tests/mascot/ShapeTestSupport.h"

namespace {

using namespace shape_test;
using mascot::RegionRecord;
using platform::Picture;
using platform::Rgb;

// Passes every call on and notes what region-data calls were asked to write.
class SpyRegions final : public platform::Regions {
public:
    platform::RegionHandle CreateRectRgn(int l, int t, int r, int b) override {
        return inner.CreateRectRgn(l, t, r, b);
    }
    int CombineRgn(platform::RegionHandle d, platform::RegionHandle a, platform::RegionHandle b, int mode) override {
        return inner.CombineRgn(d, a, b, mode);
    }
    std::uint32_t GetRegionData(platform::RegionHandle h, std::uint32_t size, void* data) override {
        std::uint32_t result = inner.GetRegionData(h, size, data);
        if (data)
            writes.push_back({size, result});
        return result;
    }
    platform::RegionHandle ExtCreateRegion(const platform::Xform* x, std::uint32_t count, const void* data) override {
        return inner.ExtCreateRegion(x, count, data);
    }
    bool DeleteObject(platform::RegionHandle h) override { return inner.DeleteObject(h); }

    struct Write {
        std::uint32_t size, written;
    };
    platform::HeadlessRegions inner;
    std::vector<Write> writes;
};

PixelSet StoredOutline(const RegionRecord& record) {
    return Rasterize(record.Rects());
}

PixelSet OutsideStrip() {
    PixelSet strip;
    for (int y = 0; y <= 100; ++y)
        for (int x = 0; x <= 100; ++x)
            if (x >= 80 || y == 100)
                strip.insert({x, y});
    return strip;
}

// Both builds from fresh records; returns the reference record after checking the fast one equals it.
RegionRecord BuildBothAndCompare(const mascot::PixelReader& pixel) {
    platform::HeadlessRegions regions;
    RegionRecord reference, fast;
    mascot::BuildRecordPerPixel(regions, pixel, reference);
    mascot::BuildRecordFast(regions, pixel, fast);
    EXPECT_EQ(fast.bytes, reference.bytes);
    EXPECT_EQ(regions.LiveCount(), 0u);
    return reference;
}

TEST(FrameShape, OutlineIsEveryNonKeyPointPlusTheStripOutsideThePicture) {
    Picture p = Figure();
    RegionRecord record = BuildBothAndCompare(Reader(&p));
    PixelSet expected = OutsideStrip();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 80; ++x)
            if (p.At(x, y) != kSilver)
                expected.insert({x, y});
    EXPECT_EQ(StoredOutline(record), expected);
    auto h = record.Header();
    EXPECT_EQ(h.dwSize, 32u);
    EXPECT_EQ(h.iType, 1u);
    EXPECT_EQ(h.nRgnSize, 16 * h.nCount);
    EXPECT_EQ(h.left, 0);
    EXPECT_EQ(h.top, 0);
    EXPECT_EQ(h.right, 101);
    EXPECT_EQ(h.bottom, 101);
}

TEST(FrameShape, KeyColourInsideTheFigureCutsHoles) {
    Picture p = Figure();
    Fill(p, 35, 40, 40, 45, kSilver);  // a silver brooch on the dress
    PixelSet outline = StoredOutline(BuildBothAndCompare(Reader(&p)));
    for (int y = 40; y < 45; ++y)
        for (int x = 35; x < 40; ++x)
            EXPECT_FALSE(outline.count({x, y}));
    EXPECT_TRUE(outline.count({34, 40}));
    EXPECT_TRUE(outline.count({40, 44}));
}

TEST(FrameShape, OneColourFrameKeepsOnlyTheStrip) {
    for (platform::Colour c : {kSilver, Rgb(0, 0, 0), Rgb(255, 255, 255)}) {
        Picture p = Blank(c);
        RegionRecord record = BuildBothAndCompare(Reader(&p));
        EXPECT_EQ(record.Header().nCount, 2u);
        EXPECT_EQ(StoredOutline(record), OutsideStrip());
    }
}

TEST(FrameShape, KeyIsTheTopLeftPixelWhateverItsColour) {
    Picture p = Figure();
    Fill(p, 0, 0, 1, 1, Rgb(200, 30, 60));  // the dress colour becomes the key
    PixelSet outline = StoredOutline(BuildBothAndCompare(Reader(&p)));
    EXPECT_FALSE(outline.count({0, 0}));
    EXPECT_FALSE(outline.count({40, 50}));  // dress cut away
    EXPECT_TRUE(outline.count({1, 0}));     // silver kept
    PixelSet strip = OutsideStrip();
    EXPECT_TRUE(std::includes(outline.begin(), outline.end(), strip.begin(), strip.end()));
}

TEST(FrameShape, OutlineNeedingMoreThan401RectanglesGrowsItsRecord) {
    Picture p = Checkerboard();
    SpyRegions spy;
    RegionRecord reference, fast;
    mascot::BuildRecordPerPixel(spy, Reader(&p), reference);
    mascot::BuildRecordFast(spy, Reader(&p), fast);
    EXPECT_EQ(fast.bytes, reference.bytes);

    // 40 single pixels and the strip per row, except that on even rows the last pixel joins the strip;
    // then the full bottom row.
    EXPECT_EQ(reference.Header().nCount, 50u * 40 + 50u * 41 + 1);
    EXPECT_EQ(reference.bytes.size(), 32u + 16 * reference.Header().nCount);
    EXPECT_EQ(StoredOutline(reference), ExpectedOutline(Reader(&p)));
    ASSERT_EQ(spy.writes.size(), 2u);
    for (const auto& w : spy.writes) {
        EXPECT_EQ(w.size, reference.bytes.size());  // the record's real room, never more
        EXPECT_EQ(w.written, w.size);
    }

    // A region made from the grown record has the whole outline.
    platform::Xform xform;
    platform::RegionHandle region = mascot::CreateRegionFromRecord(spy.inner, xform, reference);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(Rasterize(spy.inner.Rects(region)), ExpectedOutline(Reader(&p)));
}

TEST(FrameShape, ShrinkingOutlineLeavesTheGrownRecordInPlace) {
    platform::HeadlessRegions regions;
    RegionRecord record;
    Picture board = Checkerboard(), figure = Figure();
    mascot::BuildRecordFast(regions, Reader(&board), record);
    size_t grown = record.bytes.size();
    mascot::BuildRecordFast(regions, Reader(&figure), record);
    EXPECT_EQ(record.bytes.size(), grown);
    EXPECT_EQ(StoredOutline(record), ExpectedOutline(Reader(&figure)));
}

// Every shape of the outline check's list, which shape_check also builds on gdi32.
TEST(FrameShape, FastBuildMatchesReferenceOnEveryListedShape) {
    for (const shape_check::Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.problem, "");
        RegionRecord record = BuildBothAndCompare(Reader(c.picture.get()));
        EXPECT_EQ(StoredOutline(record), ExpectedOutline(Reader(c.picture.get())));
        if (c.shipped) {
            EXPECT_EQ(c.picture->width, 80);
            EXPECT_EQ(c.picture->height, 100);
            EXPECT_EQ(c.picture->At(0, 0), kSilver);
            EXPECT_LE(record.bytes.size(), mascot::kRecordBytes) << "outgrows its record";
        }
        if (!c.picture) {  // reads -1 everywhere: nothing differs from the key
            EXPECT_EQ(record.Header().nCount, 0u);
            EXPECT_EQ(record.Header().dwSize, 32u);
        }
    }
}

TEST(FrameShape, RecordNeverFilledMakesNoRegion) {
    platform::HeadlessRegions regions;
    RegionRecord blank;
    platform::Xform xform{2, 3, 4, 5, 6, 7};
    EXPECT_EQ(mascot::CreateRegionFromRecord(regions, xform, blank), nullptr);
    EXPECT_EQ(xform.eM11, 1);
    EXPECT_EQ(xform.eM22, 1);
    EXPECT_EQ(xform.eDx, 0);
    EXPECT_EQ(regions.LiveCount(), 0u);
}

TEST(FrameShape, RecordCountOverflowingIsARunTimeError) {
    platform::HeadlessRegions regions;
    RegionRecord record;
    platform::RegionDataHeader h{32, 1, 0, 0x7FFFFFF0u, 0, 0, 0, 0};
    std::memcpy(record.bytes.data(), &h, sizeof h);
    platform::Xform xform;
    try {
        mascot::CreateRegionFromRecord(regions, xform, record);
        FAIL() << "no overflow";
    } catch (const platform::RuntimeErrorException& e) {
        EXPECT_EQ(e.number, platform::kOverflowError);
    }
}

TEST(FrameShape, RecordClaimingMoreThanItHoldsIsNotReadPastItsEnd) {
    platform::HeadlessRegions regions;
    Picture p = Figure();
    RegionRecord record;
    mascot::BuildRecordFast(regions, Reader(&p), record);
    auto h = record.Header();
    h.nCount = 1000;  // more rectangles than the 6448 bytes hold
    h.nRgnSize = 16000;
    std::memcpy(record.bytes.data(), &h, sizeof h);
    platform::Xform xform;
    EXPECT_EQ(mascot::CreateRegionFromRecord(regions, xform, record), nullptr);
}

}  // namespace
