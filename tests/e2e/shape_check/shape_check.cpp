// The outline records on the window system's own regions: the per-pixel reference and the fast build
// must store the same bytes through gdi32, for the shipped frames and for awkward drawn pictures.
//   shape_check.exe FRAMES_FOLDER HEX_FILE
// Prints one line per case and "N passed, N failed"; exits 0 only when every case passes.
#include <cstdio>

#include "platform/Backends_win.h"
#include "tests/e2e/shape_check/shape_cases.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: shape_check FRAMES_FOLDER HEX_FILE\n");
        return 2;
    }
    platform::Win32Regions regions;
    return shape_check::RunCases(regions, argv[1], argv[2]) == 0 ? 0 : 1;
}
