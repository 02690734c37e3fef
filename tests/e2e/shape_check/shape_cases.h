// The outline cases that shape_check.exe builds on gdi32 and shape_native builds on the headless regions:
// the shipped frames and pictures drawn in code that stress the record layout. Both sides write every
// record as hex in the same format, so the two files can be compared byte for byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mascot/FrameShape.h"
#include "platform/base/Region.h"

namespace shape_check {

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
