// The single list of drawn shapes for the outline records, with the pictures drawn in code: the shipped
// frames and pictures that stress the record layout. shape_check.exe builds them on gdi32, shape_native
// on the headless regions, and the native mascot tests check each one's outline. Both outline-check sides
// write every record as hex in the same format, so the two files can be compared byte for byte.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mascot/FrameShape.h"
#include "platform/base/Region.h"
#include "platform/forms/Picture.h"

namespace shape_check {

constexpr platform::Colour kSilver = platform::Rgb(192, 192, 192);

// An 80 × 100 picture on a silver background unless told otherwise.
platform::Picture Blank(platform::Colour background = kSilver, int width = 80, int height = 100);
void Fill(platform::Picture& p, int left, int top, int right, int bottom, platform::Colour c);
// A head, a dress and two legs on silver.
platform::Picture Figure();
// Black on every other pixel: more rectangles than the record's first size holds.
platform::Picture Checkerboard();
// Reads as a picture box does: -1 outside the picture, and everywhere when no picture is loaded.
mascot::PixelReader Reader(const platform::Picture* p);

struct Case {
    std::string name;
    // Null when the picture could not be loaded: the picture box then reads -1 everywhere.
    std::shared_ptr<const platform::Picture> picture;
    std::string problem;  // why the case cannot run, e.g. a shipped frame that does not decode
    bool shipped = false;
};

// The shipped frames girl0..girl3 from `framesDir`, then the drawn pictures.
std::vector<Case> Cases(std::wstring_view framesDir);

// Builds every case with the per-pixel reference and the fast build on `regions`, checks that the two
// records are equal and that a region made from the record stores the same record again, prints one line
// per case and the totals, and writes "<case> reference|fast <hex>" lines to `hexPath`.
// Returns the number of failed cases.
int RunCases(platform::Regions& regions, std::wstring_view framesDir, std::wstring_view hexPath);

// Where two records first differ, in words: a header field or the first differing rectangle.
std::string FirstDifference(const mascot::RegionRecord& a,
                            std::string_view aName,
                            const mascot::RegionRecord& b,
                            std::string_view bName);

// A record from its hex text; false when the text is not hex.
bool RecordFromHex(std::string_view hex, mascot::RegionRecord& record);

}  // namespace shape_check
