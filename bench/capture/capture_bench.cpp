// Capture throughput: frames rendered and read back per second, at a small and at the default size, and the
// pipeline-cache searches a frame costs.
// Frames step through the show in uneven strides so every section's cost takes part.
#include "base/show_constants.h"
#include "show/offscreen_show.h"
#include "tools/capture/frame_schedule.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace base;
using namespace show;
using namespace tools;

namespace {

void captureFrames(benchmark::State& state) {
    OffscreenShow show;
    std::string error;
    if (!show.open(int(state.range(0)), int(state.range(1)), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    double seconds = 0.0;
    const uint64_t lookupsBefore = show.statistics().pipelineLookups;
    for (auto _ : state) {
        if (!show.render(showTimeAt(audioFramesAtSeconds(seconds)), &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        seconds = std::fmod(seconds + 0.97, double(kShowEndSeconds));
    }
    state.counters["pipeline_lookups_per_frame"] =
        double(show.statistics().pipelineLookups - lookupsBefore) / double(state.iterations());
    state.counters["frames_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(captureFrames)->Args({320, 180})->Args({1280, 720})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
