// Headless regions: every operation sweeps the bands of its operands top to bottom and rebuilds the
// result in the window system's canonical banded form, so equal regions always give equal data.
#include "platform/Region_headless.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace platform {

namespace {

using RectList = std::vector<RegionRect>;

constexpr std::uint32_t kHeaderBytes = sizeof(RegionDataHeader);
constexpr std::uint32_t kRectBytes = sizeof(RegionRect);

bool Apply(int mode, bool inA, bool inB) {
    switch (mode) {
        case kRgnAnd: return inA && inB;
        case kRgnOr: return inA || inB;
        case kRgnXor: return inA != inB;
        case kRgnDiff: return inA && !inB;
        default: return inA;
    }
}

// One band: the rectangles [begin, end) that share a top and a bottom.
struct Band {
    const RegionRect* begin = nullptr;
    const RegionRect* end = nullptr;
    std::int32_t top() const { return begin->top; }
    std::int32_t bottom() const { return begin->bottom; }
};

class BandCursor {
public:
    explicit BandCursor(const RectList& rects) : next_(rects.data()), last_(rects.data() + rects.size()) { Step(); }
    bool Done() const { return band_.begin == band_.end; }
    const Band& Current() const { return band_; }
    void Step() {
        band_.begin = next_;
        while (next_ != last_ && next_->top == band_.begin->top)
            ++next_;
        band_.end = next_;
    }

private:
    const RegionRect* next_;
    const RegionRect* last_;
    Band band_;
};

// Appends the x-spans where the operation holds over one band's height; touching spans come out merged
// because a span only closes where the operation's value changes.
void CombineSpans(const RegionRect* a,
                  const RegionRect* aEnd,
                  const RegionRect* b,
                  const RegionRect* bEnd,
                  int mode,
                  std::int32_t top,
                  std::int32_t bottom,
                  RectList& out) {
    constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
    bool inA = false, inB = false, inside = false;
    std::int32_t start = 0;
    for (;;) {
        std::int64_t xa = a != aEnd ? (inA ? a->right : a->left) : kNone;
        std::int64_t xb = b != bEnd ? (inB ? b->right : b->left) : kNone;
        std::int64_t x = std::min(xa, xb);
        if (x == kNone)
            break;
        if (xa == x) {
            if (inA)
                ++a;
            inA = !inA;
        }
        if (xb == x) {
            if (inB)
                ++b;
            inB = !inB;
        }
        bool now = Apply(mode, inA, inB);
        if (now && !inside)
            start = std::int32_t(x);
        else if (!now && inside)
            out.push_back({start, top, std::int32_t(x), bottom});
        inside = now;
    }
}

bool SameSpans(const RegionRect* a, const RegionRect* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (a[i].left != b[i].left || a[i].right != b[i].right)
            return false;
    return true;
}

// Adds the band just written at [bandStart, end) to the result, folding it into the band above when
// that one ends where it starts and has the same spans.
void Coalesce(RectList& out, std::size_t& previousStart, std::size_t bandStart) {
    std::size_t count = out.size() - bandStart;
    if (count == 0)
        return;
    std::size_t previousCount = bandStart - previousStart;
    if (previousCount == count && out[previousStart].bottom == out[bandStart].top &&
        SameSpans(&out[previousStart], &out[bandStart], count)) {
        std::int32_t bottom = out[bandStart].bottom;
        for (std::size_t i = previousStart; i < bandStart; ++i)
            out[i].bottom = bottom;
        out.resize(bandStart);
        return;
    }
    previousStart = bandStart;
}

RectList Combine(const RectList& a, const RectList& b, int mode) {
    RectList out;
    out.reserve(a.size() + b.size());
    BandCursor ca(a), cb(b);
    std::size_t previousStart = 0;
    std::int64_t y = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        while (!ca.Done() && ca.Current().bottom() <= y)
            ca.Step();
        while (!cb.Done() && cb.Current().bottom() <= y)
            cb.Step();
        if (ca.Done() && cb.Done())
            break;
        constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
        std::int64_t ta = ca.Done() ? kNone : ca.Current().top();
        std::int64_t tb = cb.Done() ? kNone : cb.Current().top();
        std::int64_t y0 = std::max(y, std::min(ta, tb));
        bool inA = ta <= y0, inB = tb <= y0;
        std::int64_t y1 = std::min(inA ? ca.Current().bottom() : ta, inB ? cb.Current().bottom() : tb);

        std::size_t bandStart = out.size();
        const Band none;
        const Band& bandA = inA ? ca.Current() : none;
        const Band& bandB = inB ? cb.Current() : none;
        CombineSpans(bandA.begin, bandA.end, bandB.begin, bandB.end, mode, std::int32_t(y0), std::int32_t(y1), out);
        Coalesce(out, previousStart, bandStart);
        y = y1;
    }
    return out;
}

// True when the rectangles are already in canonical banded form.
bool IsCanonical(const RectList& rects) {
    std::size_t previousStart = 0, bandStart = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const RegionRect& r = rects[i];
        if (r.left >= r.right || r.top >= r.bottom)
            return false;
        if (i > 0 && r.top == rects[i - 1].top) {
            if (r.bottom != rects[i - 1].bottom || r.left <= rects[i - 1].right)
                return false;
            continue;
        }
        if (i > 0) {
            if (r.top < rects[i - 1].bottom)
                return false;
            previousStart = bandStart;
            bandStart = i;
            std::size_t previousCount = bandStart - previousStart;
            std::size_t count = 0;
            while (i + count < rects.size() && rects[i + count].top == r.top)
                ++count;
            if (r.top == rects[i - 1].bottom && count == previousCount &&
                SameSpans(&rects[previousStart], &rects[bandStart], count))
                return false;
        }
    }
    return true;
}

int Complexity(const RectList& rects) {
    return rects.empty() ? kNullRegion : rects.size() == 1 ? kSimpleRegion : kComplexRegion;
}

bool IsIdentity(const Xform& x) {
    return x.eM11 == 1 && x.eM12 == 0 && x.eM21 == 0 && x.eM22 == 1 && x.eDx == 0 && x.eDy == 0;
}

}  // namespace

HeadlessRegions::HeadlessRegions() = default;
HeadlessRegions::~HeadlessRegions() = default;

HeadlessRegions::RectList* HeadlessRegions::Find(RegionHandle region) {
    auto it = regions_.find(region);
    return it == regions_.end() ? nullptr : it->second.get();
}

const HeadlessRegions::RectList* HeadlessRegions::Find(RegionHandle region) const {
    auto it = regions_.find(region);
    return it == regions_.end() ? nullptr : it->second.get();
}

RegionHandle HeadlessRegions::Adopt(RectList rects) {
    auto owned = std::make_unique<RectList>(std::move(rects));
    RegionHandle handle = owned.get();
    regions_.emplace(handle, std::move(owned));
    return handle;
}

RegionHandle HeadlessRegions::CreateRectRgn(int left, int top, int right, int bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    RectList rects;
    if (left < right && top < bottom)
        rects.push_back({left, top, right, bottom});
    return Adopt(std::move(rects));
}

int HeadlessRegions::CombineRgn(RegionHandle dest, RegionHandle src1, RegionHandle src2, int mode) {
    RectList* d = Find(dest);
    const RectList* a = Find(src1);
    const RectList* b = mode == kRgnCopy ? a : Find(src2);
    if (!d || !a || !b || mode < kRgnAnd || mode > kRgnCopy)
        return kRegionError;
    *d = mode == kRgnCopy ? *a : Combine(*a, *b, mode);
    return Complexity(*d);
}

std::uint32_t HeadlessRegions::GetRegionData(RegionHandle region, std::uint32_t size, void* data) {
    const RectList* rects = Find(region);
    if (!rects)
        return 0;
    std::uint32_t rectBytes = std::uint32_t(rects->size()) * kRectBytes;
    std::uint32_t needed = kHeaderBytes + rectBytes;
    if (!data)
        return needed;
    if (size < needed)
        return 0;
    RegionDataHeader header{kHeaderBytes, kRdhRectangles, std::uint32_t(rects->size()), rectBytes, 0, 0, 0, 0};
    if (!rects->empty()) {
        header.top = rects->front().top;
        header.bottom = rects->back().bottom;
        header.left = std::numeric_limits<std::int32_t>::max();
        header.right = std::numeric_limits<std::int32_t>::min();
        for (const RegionRect& r : *rects) {
            header.left = std::min(header.left, r.left);
            header.right = std::max(header.right, r.right);
        }
    }
    auto* out = static_cast<std::byte*>(data);
    std::memcpy(out, &header, kHeaderBytes);
    if (rectBytes)
        std::memcpy(out + kHeaderBytes, rects->data(), rectBytes);
    return needed;
}

RegionHandle HeadlessRegions::ExtCreateRegion(const Xform* xform, std::uint32_t count, const void* data) {
    if (!data || count < kHeaderBytes || (xform && !IsIdentity(*xform)))
        return nullptr;
    RegionDataHeader header;
    std::memcpy(&header, data, kHeaderBytes);
    if (header.dwSize != kHeaderBytes || header.iType != kRdhRectangles ||
        std::uint64_t(count) < kHeaderBytes + std::uint64_t(header.nCount) * kRectBytes)
        return nullptr;

    RectList rects;
    rects.reserve(header.nCount);
    const auto* bytes = static_cast<const std::byte*>(data) + kHeaderBytes;
    for (std::uint32_t i = 0; i < header.nCount; ++i) {
        RegionRect r;
        std::memcpy(&r, bytes + std::size_t(i) * kRectBytes, kRectBytes);
        if (r.left < r.right && r.top < r.bottom)
            rects.push_back(r);
    }
    if (IsCanonical(rects))
        return Adopt(std::move(rects));
    RectList united;
    for (const RegionRect& r : rects)
        united = Combine(united, RectList{r}, kRgnOr);
    return Adopt(std::move(united));
}

bool HeadlessRegions::DeleteObject(RegionHandle region) {
    return regions_.erase(region) > 0;
}

std::vector<RegionRect> HeadlessRegions::Rects(RegionHandle region) const {
    const RectList* rects = Find(region);
    return rects ? *rects : RectList{};
}

}  // namespace platform
