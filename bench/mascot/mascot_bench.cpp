// Times the mascot's outline build with the fast and the per-pixel builders over the shipped frames,
// prints how many times faster the fast one is, and times one timer tick of the loaded window.
//
//     mascot_bench [--benchmark_min_time=2]
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/App.h"
#include "mascot/Form1.h"
#include "mascot/FrameShape.h"
#include "platform/Backends_headless.h"
#include "platform/Profile_headless.h"
#include "platform/Region_headless.h"
#include "platform/forms/Gui_headless.h"

namespace {

// The eight frame pictures as the window holds them: the four shipped images, each twice.
std::array<platform::PicturePtr, 8> LoadFrames() {
    std::array<platform::PicturePtr, 8> frames;
    for (int k = 0; k < 8; ++k) {
        std::ifstream in(std::string(SORABUNE_FRAMES_DIR) + "/girl" + std::to_string(k % 4) + ".gif", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        frames[size_t(k)] = platform::DecodePicture(bytes.str());
    }
    return frames;
}

mascot::PixelReader Reader(const platform::Picture& p) {
    return [&p](int x, int y) -> std::int64_t {
        if (x < 0 || y < 0 || x >= p.width || y >= p.height)
            return -1;
        return p.At(x, y);
    };
}

template <auto Build>
void BuildAllFrames(benchmark::State& state) {
    auto frames = LoadFrames();
    if (!frames[0]) {
        state.SkipWithError("frame pictures missing");
        return;
    }
    platform::HeadlessRegions regions;
    std::array<mascot::RegionRecord, 8> records;
    for (auto _ : state) {
        for (size_t k = 0; k < 8; ++k)
            Build(regions, Reader(*frames[k]), records[k]);
        benchmark::DoNotOptimize(records);
    }
    state.counters["rects(frame0)"] = double(records[0].Header().nCount);
}

void BM_BuildAllFramesFast(benchmark::State& state) {
    BuildAllFrames<mascot::BuildRecordFast>(state);
}
void BM_BuildAllFramesPerPixel(benchmark::State& state) {
    BuildAllFrames<mascot::BuildRecordPerPixel>(state);
}
BENCHMARK(BM_BuildAllFramesFast)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildAllFramesPerPixel)->Unit(benchmark::kMicrosecond);

// One tick of the loaded mascot: draw when due, two moves, a region from its record, the picture and
// the shape. The region the window replaces is deleted in the loop, as the window system does.
void BM_OneTick(benchmark::State& state) {
    platform::HeadlessGui gui;
    platform::HeadlessRegions regions;
    platform::HeadlessProfile profile;
    platform::HeadlessMci mci;
    platform::HeadlessDialUp dialUp;
    platform::HeadlessBrowser browser;
    platform::Platform platform{gui, regions, profile, mci, dialUp, browser};
    app::App app(platform);
    mascot::Form1& form = app.GetForm1();
    form.Load();
    platform::HeadlessWindow* window = gui.Window(L"Form1");
    for (auto _ : state) {
        platform::RegionHandle previous = window->Region();
        gui.Advance(500);
        regions.DeleteObject(previous);
    }
    state.counters["live regions"] = double(regions.LiveCount());
}
BENCHMARK(BM_OneTick)->Unit(benchmark::kNanosecond);

// Notes each benchmark's time per iteration so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto fast = reporter.times.find("BM_BuildAllFramesFast");
    auto slow = reporter.times.find("BM_BuildAllFramesPerPixel");
    if (fast != reporter.times.end() && slow != reporter.times.end() && fast->second > 0)
        std::printf("per-pixel / fast build time: %.1f\n", slow->second / fast->second);
    benchmark::Shutdown();
    return 0;
}
