// The list of drawn shapes and its picture helpers, and the shared half of the outline check: the two
// builds with their comparison, and the hex file.
#include "tests/e2e/shape_check/shape_cases.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "platform/base/File.h"
#include "platform/forms/Picture.h"

namespace shape_check {
namespace {

using mascot::RegionRecord;
using platform::Colour;
using platform::Picture;
using platform::Rgb;

void Add(std::vector<Case>& cases, std::string name, Picture picture) {
    cases.push_back({std::move(name), std::make_shared<const Picture>(std::move(picture)), {}, false});
}

void AddShippedFrames(std::vector<Case>& cases, std::wstring_view framesDir) {
    for (int n = 0; n < 4; ++n) {
        std::string name = "girl" + std::to_string(n);
        // Forward slashes serve both the native build and Windows.
        std::wstring path = std::wstring(framesDir) + L"/" + std::wstring(name.begin(), name.end()) + L".gif";
        std::optional<std::string> bytes = platform::ReadWholeFile(path);
        platform::PicturePtr picture = bytes ? platform::DecodePicture(*bytes) : nullptr;
        std::string problem = !bytes ? "cannot read " + name + ".gif" : !picture ? name + ".gif does not decode" : "";
        cases.push_back({name, picture, problem, true});
    }
}

void AddDrawnPictures(std::vector<Case>& cases) {
    for (auto [name, colour] : {std::pair{"one-colour-silver", kSilver},
                                {"one-colour-black", Rgb(0, 0, 0)},
                                {"one-colour-white", Rgb(255, 255, 255)}})
        Add(cases, name, Blank(colour));

    Picture holes = Figure();
    Fill(holes, 35, 40, 40, 45, kSilver);  // a brooch in the key colour
    Fill(holes, 44, 50, 46, 70, kSilver);  // a seam splitting the dress's rows
    Fill(holes, 40, 20, 41, 21, kSilver);  // a single-pixel hole in the head
    Fill(holes, 25, 60, 27, 62, kSilver);  // a notch on the dress's edge
    Add(cases, "key-colour-holes", std::move(holes));

    Picture dressKey = Figure();
    Fill(dressKey, 0, 0, 1, 1, Rgb(200, 30, 60));  // the dress colour becomes the key
    Add(cases, "key-is-not-silver", std::move(dressKey));

    Add(cases, "checkerboard", Checkerboard());
    Add(cases, "small-picture", Blank(kSilver, 10, 10));    // most of the scan is outside it
    Add(cases, "large-picture", Blank(kSilver, 120, 120));  // larger than the scan

    Picture corners = Blank();
    Fill(corners, 79, 0, 80, 1, 0);
    Fill(corners, 0, 99, 1, 100, 0);
    Fill(corners, 79, 99, 80, 100, 0);
    Add(cases, "corners", std::move(corners));

    Picture stripes = Blank();  // columns: bands of identical rows coalesce
    for (int x = 0; x < 80; x += 3)
        Fill(stripes, x + 1, 5, x + 2, 95, 0);
    Add(cases, "stripes", std::move(stripes));

    // The generator's raw output is the same on every compiler, unlike the standard distributions.
    std::mt19937 random(11);
    for (int percent : {5, 15, 25, 30, 35, 45, 55, 65, 70, 75}) {
        Picture noise = Blank();
        for (Colour& px : noise.pixels)
            if (random() % 100 < unsigned(percent))
                px = Rgb(0, 0, percent);
        noise.pixels[0] = kSilver;
        Add(cases, "noise-" + std::to_string(percent), std::move(noise));
    }

    cases.push_back({"no-picture", nullptr, {}, false});
}

std::string Hex(const RegionRecord& record) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(record.bytes.size() * 2);
    for (std::byte b : record.bytes) {
        out += digits[unsigned(b) >> 4];
        out += digits[unsigned(b) & 15];
    }
    return out;
}

std::string RectText(const platform::RegionRect& r) {
    return std::string("(") + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) +
           "," + std::to_string(r.bottom) + ")";
}

// The record loaded back into a region and stored again; empty bytes when the region cannot be made.
RegionRecord RoundTrip(platform::Regions& regions, const RegionRecord& record) {
    platform::Xform xform;
    platform::RegionHandle region = mascot::CreateRegionFromRecord(regions, xform, record);
    RegionRecord again;
    if (!region) {
        again.bytes.clear();
        return again;
    }
    mascot::StoreRegion(regions, region, again);
    regions.DeleteObject(region);
    return again;
}

// Runs one case; the empty string when it passes, otherwise what went wrong.
std::string Check(platform::Regions& regions, const Case& c, RegionRecord& reference, RegionRecord& fast) {
    if (!c.problem.empty())
        return c.problem;
    mascot::PixelReader pixel = Reader(c.picture.get());
    mascot::BuildRecordPerPixel(regions, pixel, reference);
    mascot::BuildRecordFast(regions, pixel, fast);
    if (fast.bytes != reference.bytes)
        return FirstDifference(reference, "reference", fast, "fast");
    RegionRecord again = RoundTrip(regions, reference);
    if (again.bytes.empty())
        return "no region is made from the record";
    if (again.bytes != reference.bytes)
        return "the record loaded and stored again: " + FirstDifference(reference, "stored", again, "again");
    return {};
}

}  // namespace

Picture Blank(Colour background, int width, int height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(std::size_t(width) * std::size_t(height), background);
    return p;
}

void Fill(Picture& p, int left, int top, int right, int bottom, Colour c) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            p.pixels[std::size_t(y) * std::size_t(p.width) + std::size_t(x)] = c;
}

Picture Figure() {
    Picture p = Blank();
    Fill(p, 30, 10, 50, 30, Rgb(250, 220, 200));  // head
    Fill(p, 25, 30, 55, 80, Rgb(200, 30, 60));    // dress
    Fill(p, 30, 80, 35, 100, Rgb(40, 40, 40));    // legs
    Fill(p, 45, 80, 50, 100, Rgb(40, 40, 40));
    return p;
}

Picture Checkerboard() {
    Picture p = Blank();
    for (int y = 0; y < p.height; ++y)
        for (int x = (y + 1) % 2; x < p.width; x += 2)
            Fill(p, x, y, x + 1, y + 1, Rgb(0, 0, 0));
    return p;
}

mascot::PixelReader Reader(const Picture* p) {
    return [p](int x, int y) -> std::int64_t {
        if (!p || x < 0 || y < 0 || x >= p->width || y >= p->height)
            return -1;
        return p->At(x, y);
    };
}

std::vector<Case> Cases(std::wstring_view framesDir) {
    std::vector<Case> cases;
    AddShippedFrames(cases, framesDir);
    AddDrawnPictures(cases);
    return cases;
}

std::string FirstDifference(const RegionRecord& a,
                            std::string_view aName,
                            const RegionRecord& b,
                            std::string_view bName) {
    if (a.bytes == b.bytes)
        return "equal";
    std::string names = std::string(aName) + " / " + std::string(bName);
    platform::RegionDataHeader ha = a.Header(), hb = b.Header();
    const std::uint32_t fa[] = {ha.dwSize, ha.iType, ha.nCount, ha.nRgnSize};
    const std::uint32_t fb[] = {hb.dwSize, hb.iType, hb.nCount, hb.nRgnSize};
    const char* fieldNames[] = {"dwSize", "iType", "nCount", "nRgnSize"};
    for (int i = 0; i < 4; ++i)
        if (fa[i] != fb[i])
            return std::string("header ") + fieldNames[i] + " " + std::to_string(fa[i]) + " / " +
                   std::to_string(fb[i]) + " (" + names + ")";
    if (std::memcmp(&ha.left, &hb.left, 16) != 0)
        return "header bounds " + RectText({ha.left, ha.top, ha.right, ha.bottom}) + " / " +
               RectText({hb.left, hb.top, hb.right, hb.bottom}) + " (" + names + ")";
    std::vector<platform::RegionRect> ra = a.Rects(), rb = b.Rects();
    for (std::size_t i = 0; i < ra.size() && i < rb.size(); ++i)
        if (std::memcmp(&ra[i], &rb[i], sizeof ra[i]) != 0)
            return "rectangle " + std::to_string(i) + " of " + std::to_string(ha.nCount) + ": " + RectText(ra[i]) +
                   " / " + RectText(rb[i]) + " (" + names + ")";
    return "record sizes " + std::to_string(a.bytes.size()) + " / " + std::to_string(b.bytes.size()) +
           " bytes, or the bytes after the rectangles (" + names + ")";
}

bool RecordFromHex(std::string_view hex, RegionRecord& record) {
    if (hex.size() % 2)
        return false;
    auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    record.bytes.resize(hex.size() / 2);
    for (std::size_t i = 0; i < record.bytes.size(); ++i) {
        int hi = nibble(hex[2 * i]), lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        record.bytes[i] = std::byte(hi * 16 + lo);
    }
    return true;
}

int RunCases(platform::Regions& regions, std::wstring_view framesDir, std::wstring_view hexPath) {
    std::vector<Case> cases = Cases(framesDir);
    std::string hexFile;
    int passed = 0, failed = 0;
    for (const Case& c : cases) {
        RegionRecord reference, fast;
        std::string problem = Check(regions, c, reference, fast);
        if (problem.empty()) {
            ++passed;
            std::printf("PASS %s: %u rectangles, %zu-byte record\n", c.name.c_str(), reference.Header().nCount,
                        reference.bytes.size());
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", c.name.c_str(), problem.c_str());
        }
        hexFile += c.name + " reference " + Hex(reference) + "\n";
        hexFile += c.name + " fast " + Hex(fast) + "\n";
    }
    if (!platform::ReplaceWholeFile(hexPath, hexFile)) {
        ++failed;
        std::printf("FAIL cannot write the hex file\n");
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed;
}

}  // namespace shape_check
