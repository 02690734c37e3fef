// The headless region backend: the same banded rectangle lists and region data as the window system.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <ostream>
#include <random>

#include "platform/Region_headless.h"
#include "tests/mascot/ShapeTestSupport.h"

namespace platform {

// Found by argument lookup, so the standard algorithms and the test macros see it.
bool operator==(const RegionRect& a, const RegionRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RegionRect& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

}  // namespace platform

namespace {

using platform::HeadlessRegions;
using platform::RegionDataHeader;
using platform::RegionHandle;
using platform::RegionRect;
using shape_test::PixelSet;

using Rects = std::vector<RegionRect>;

// The canonical banding of a pixel set, worked out row by row: runs per row, then equal neighbouring
// rows merged into one band.
Rects Canonical(const PixelSet& pixels) {
    std::map<int, std::vector<std::pair<int, int>>> rows;
    for (auto [x, y] : pixels) {  // x ascending, so each row's runs come in order
        auto& row = rows[y];
        if (!row.empty() && row.back().second == x)
            ++row.back().second;
        else
            row.push_back({x, x + 1});
    }
    Rects out;
    const std::vector<std::pair<int, int>>* band = nullptr;
    size_t bandStart = 0;
    for (const auto& [y, row] : rows) {
        if (band && out.back().bottom == y && *band == row) {
            for (size_t i = bandStart; i < out.size(); ++i)
                out[i].bottom = y + 1;
            continue;
        }
        bandStart = out.size();
        for (auto [l, r] : row)
            out.push_back({l, y, r, y + 1});
        band = &row;
    }
    return out;
}

PixelSet Apply(int mode, const PixelSet& a, const PixelSet& b) {
    PixelSet out;
    PixelSet all = a;
    all.insert(b.begin(), b.end());
    for (const auto& p : all) {
        bool inA = a.count(p), inB = b.count(p);
        bool in = mode == platform::kRgnAnd   ? inA && inB
                  : mode == platform::kRgnOr  ? inA || inB
                  : mode == platform::kRgnXor ? inA != inB
                                              : inA && !inB;
        if (in)
            out.insert(p);
    }
    return out;
}

std::vector<std::byte> Data(HeadlessRegions& regions, RegionHandle h) {
    std::vector<std::byte> bytes(regions.GetRegionData(h, 0, nullptr));
    regions.GetRegionData(h, std::uint32_t(bytes.size()), bytes.data());
    return bytes;
}

RegionDataHeader HeaderOf(const std::vector<std::byte>& bytes) {
    RegionDataHeader h;
    std::memcpy(&h, bytes.data(), sizeof h);
    return h;
}

TEST(HeadlessRegions, UnionsAreBandedTouchingSpansMergedAndEqualBandsCoalesced) {
    HeadlessRegions regions;
    RegionHandle a = regions.CreateRectRgn(0, 0, 10, 10);
    RegionHandle b = regions.CreateRectRgn(5, 5, 15, 15);
    EXPECT_EQ(regions.CombineRgn(a, a, b, platform::kRgnOr), platform::kComplexRegion);
    EXPECT_EQ(regions.Rects(a), (Rects{{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}));

    RegionHandle c = regions.CreateRectRgn(0, 0, 5, 5);
    RegionHandle d = regions.CreateRectRgn(5, 0, 10, 5);  // touches c on the right
    EXPECT_EQ(regions.CombineRgn(c, c, d, platform::kRgnOr), platform::kSimpleRegion);
    EXPECT_EQ(regions.Rects(c), (Rects{{0, 0, 10, 5}}));

    RegionHandle e = regions.CreateRectRgn(0, 5, 10, 20);  // directly below c with the same span
    EXPECT_EQ(regions.CombineRgn(c, c, e, platform::kRgnOr), platform::kSimpleRegion);
    EXPECT_EQ(regions.Rects(c), (Rects{{0, 0, 10, 20}}));

    RegionHandle f = regions.CreateRectRgn(0, 21, 10, 22);  // same span after a gap: a band of its own
    regions.CombineRgn(c, c, f, platform::kRgnOr);
    EXPECT_EQ(regions.Rects(c), (Rects{{0, 0, 10, 20}, {0, 21, 10, 22}}));
}

TEST(HeadlessRegions, EveryOperationMatchesPixelSetsInCanonicalForm) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coord(0, 24);
    for (int round = 0; round < 200; ++round) {
        HeadlessRegions regions;
        std::array<RegionHandle, 2> handles{};
        std::array<PixelSet, 2> sets;
        for (int s = 0; s < 2; ++s) {
            handles[s] = regions.CreateRectRgn(0, 0, 0, 0);
            for (int n = 0; n < 6; ++n) {
                int l = coord(random), t = coord(random), r = coord(random), b = coord(random);
                RegionHandle rect = regions.CreateRectRgn(l, t, r, b);  // corners in any order
                regions.CombineRgn(handles[s], handles[s], rect, platform::kRgnOr);
                regions.DeleteObject(rect);
                sets[s] =
                    Apply(platform::kRgnOr, sets[s],
                          shape_test::Rasterize({{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)}}));
            }
            ASSERT_EQ(regions.Rects(handles[s]), Canonical(sets[s]));
        }
        for (int mode : {platform::kRgnAnd, platform::kRgnOr, platform::kRgnXor, platform::kRgnDiff}) {
            RegionHandle out = regions.CreateRectRgn(0, 0, 0, 0);
            int kind = regions.CombineRgn(out, handles[0], handles[1], mode);
            Rects expected = Canonical(Apply(mode, sets[0], sets[1]));
            ASSERT_EQ(regions.Rects(out), expected) << "mode " << mode << " round " << round;
            EXPECT_EQ(kind, expected.empty()       ? platform::kNullRegion
                            : expected.size() == 1 ? platform::kSimpleRegion
                                                   : platform::kComplexRegion);
            regions.DeleteObject(out);
        }
        regions.DeleteObject(handles[0]);
        regions.DeleteObject(handles[1]);
        ASSERT_EQ(regions.LiveCount(), 0u);
    }
}

TEST(HeadlessRegions, CopyAndBadArguments) {
    HeadlessRegions regions;
    RegionHandle a = regions.CreateRectRgn(1, 2, 3, 4);
    RegionHandle b = regions.CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(regions.CombineRgn(b, a, nullptr, platform::kRgnCopy), platform::kSimpleRegion);
    EXPECT_EQ(regions.Rects(b), (Rects{{1, 2, 3, 4}}));
    int stranger = 0;
    EXPECT_EQ(regions.CombineRgn(b, a, &stranger, platform::kRgnOr), platform::kRegionError);
    EXPECT_EQ(regions.CombineRgn(b, a, a, 9), platform::kRegionError);
    EXPECT_EQ(regions.Rects(b), (Rects{{1, 2, 3, 4}}));
    EXPECT_TRUE(regions.DeleteObject(a));
    EXPECT_FALSE(regions.DeleteObject(a));
    EXPECT_EQ(regions.LiveCount(), 1u);
}

TEST(HeadlessRegions, RegionDataHasHeaderThenRectanglesAndNeedsTheWholeBuffer) {
    HeadlessRegions regions;
    RegionHandle empty = regions.CreateRectRgn(0, 0, 0, 0);
    std::vector<std::byte> bytes = Data(regions, empty);
    ASSERT_EQ(bytes.size(), 32u);
    RegionDataHeader h = HeaderOf(bytes);
    EXPECT_EQ(h.dwSize, 32u);
    EXPECT_EQ(h.iType, 1u);
    EXPECT_EQ(h.nCount, 0u);
    EXPECT_EQ(h.nRgnSize, 0u);
    EXPECT_EQ(h.left | h.top | h.right | h.bottom, 0);

    RegionHandle shape = regions.CreateRectRgn(2, 3, 10, 5);
    RegionHandle foot = regions.CreateRectRgn(-4, 5, 4, 9);
    regions.CombineRgn(shape, shape, foot, platform::kRgnOr);
    ASSERT_EQ(regions.GetRegionData(shape, 0, nullptr), 32u + 2 * 16);

    std::vector<std::byte> small(63, std::byte{0xAB});
    EXPECT_EQ(regions.GetRegionData(shape, 63, small.data()), 0u);
    EXPECT_EQ(small, std::vector<std::byte>(63, std::byte{0xAB}));

    bytes = Data(regions, shape);
    h = HeaderOf(bytes);
    EXPECT_EQ(h.nCount, 2u);
    EXPECT_EQ(h.nRgnSize, 32u);
    EXPECT_EQ(h.left, -4);
    EXPECT_EQ(h.top, 3);
    EXPECT_EQ(h.right, 10);
    EXPECT_EQ(h.bottom, 9);
    RegionRect second;
    std::memcpy(&second, bytes.data() + 48, 16);
    EXPECT_EQ(second, (RegionRect{-4, 5, 4, 9}));
}

TEST(HeadlessRegions, ExtCreateRegionRefusesBadDataAndCanonicalisesTheRest) {
    HeadlessRegions regions;
    RegionHandle source = regions.CreateRectRgn(0, 0, 4, 4);
    RegionHandle hole = regions.CreateRectRgn(1, 1, 2, 2);
    regions.CombineRgn(source, source, hole, platform::kRgnDiff);
    std::vector<std::byte> good = Data(regions, source);
    size_t live = regions.LiveCount();

    platform::Xform identity;
    auto withHeader = [&](auto change) {
        std::vector<std::byte> bytes = good;
        RegionDataHeader h = HeaderOf(bytes);
        change(h);
        std::memcpy(bytes.data(), &h, sizeof h);
        return bytes;
    };
    EXPECT_EQ(regions.ExtCreateRegion(&identity, 32, nullptr), nullptr);
    EXPECT_EQ(regions.ExtCreateRegion(&identity, 0, good.data()), nullptr);
    EXPECT_EQ(regions.ExtCreateRegion(&identity, std::uint32_t(good.size() - 1), good.data()), nullptr);
    auto badSize = withHeader([](RegionDataHeader& h) { h.dwSize = 0; });
    EXPECT_EQ(regions.ExtCreateRegion(&identity, std::uint32_t(good.size()), badSize.data()), nullptr);
    auto badType = withHeader([](RegionDataHeader& h) { h.iType = 2; });
    EXPECT_EQ(regions.ExtCreateRegion(&identity, std::uint32_t(good.size()), badType.data()), nullptr);
    platform::Xform shifted;
    shifted.eDx = 3;
    EXPECT_EQ(regions.ExtCreateRegion(&shifted, std::uint32_t(good.size()), good.data()), nullptr);
    std::vector<std::byte> zeros(6448);
    EXPECT_EQ(regions.ExtCreateRegion(&identity, 0, zeros.data()), nullptr);
    EXPECT_EQ(regions.LiveCount(), live);

    RegionHandle copy = regions.ExtCreateRegion(&identity, std::uint32_t(good.size()), good.data());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Data(regions, copy), good);
    EXPECT_NE(regions.ExtCreateRegion(nullptr, std::uint32_t(good.size()), good.data()), nullptr);

    // Overlapping, touching and out-of-order rectangles come back as the window system would keep them.
    Rects messy{{5, 0, 9, 2}, {0, 0, 5, 2}, {0, 2, 9, 3}, {3, 3, 3, 8}};
    std::vector<std::byte> bytes(32 + 16 * messy.size());
    RegionDataHeader h{32, 1, std::uint32_t(messy.size()), std::uint32_t(16 * messy.size()), 0, 0, 0, 0};
    std::memcpy(bytes.data(), &h, 32);
    std::memcpy(bytes.data() + 32, messy.data(), 16 * messy.size());
    RegionHandle tidy = regions.ExtCreateRegion(&identity, std::uint32_t(bytes.size()), bytes.data());
    EXPECT_EQ(regions.Rects(tidy), (Rects{{0, 0, 9, 3}}));
}

}  // namespace
