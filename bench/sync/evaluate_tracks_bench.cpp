// The per-frame cost of the sync tracks: every one of the show's 104 tracks evaluated at one time.
#include "content/track_table.h"
#include "sync/evaluate_track.h"

#include <benchmark/benchmark.h>

using namespace Orvo::Gfx;
using namespace sync_tracks;

namespace {

void evaluateAllTracks(benchmark::State& state) {
    TrackSet set;
    layDownTrackKeys(set);
    float seconds = float(state.range(0)) / 1000.0f;
    for (auto _ : state)
        for (uint32_t i = 0; i < kTrackCount; ++i) benchmark::DoNotOptimize(evaluateTrack(set, i, seconds));
    state.SetItemsProcessed(state.iterations() * kTrackCount);
}

// Early in the show the scans stop at the first keys; late, every scan runs through whole tracks.
BENCHMARK(evaluateAllTracks)->Arg(1000)->Arg(22500)->Arg(45000)->Arg(66900);

} // namespace

BENCHMARK_MAIN();
