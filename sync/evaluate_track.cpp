#include "sync/evaluate_track.h"

using namespace base;

namespace sync_tracks {

namespace {

// The row under the play position. Times before the start (or not a number) sit on row 0 and times
// past the 32-bit grid on its last row, so the conversion to an unsigned row is always defined.
uint32_t rowAt(float rowRate, float seconds) {
    float row = rowRate * seconds;
    if (!(row >= 0.0f)) return 0;
    if (row >= 4294967296.0f) return UINT32_MAX;
    return static_cast<uint32_t>(row);
}

float interpolate(int32_t code, float a, float b, float c) {
    float d;
    switch (static_cast<Interpolation>(code)) {
    case Interpolation::Linear:
        return (1.0f - c) * a + c * b;
    case Interpolation::Smooth:
        d = (3.0f - 2.0f * c) * c * c;
        break;
    case Interpolation::Quadratic:
        d = c * c;
        break;
    case Interpolation::Quartic:
        d = c * c * c * c;
        break;
    default:
        return a;
    }
    return (1.0f - d) * a + d * b;
}

} // namespace

float evaluateTrack(const TrackSet& set, uint32_t index, float seconds) {
    // A track the set does not hold has no keys.
    if (index >= set.tracks.count) return 0.0f;
    const DynArray<SyncKey>& keys = set.tracks[index].keys;
    if (keys.count == 0) return 0.0f;

    float rowRate = set.rowRate();
    uint32_t currentRow = rowAt(rowRate, seconds);

    // prev is the last key at or before the current row (of equal rows the later one), next the first
    // key after it. The scan always starts at key 0: there is no cursor to go stale.
    const SyncKey* prev = nullptr;
    const SyncKey* next = nullptr;
    for (const SyncKey& key : keys) {
        if (key.row > currentRow) {
            next = &key;
            break;
        }
        prev = &key;
    }
    if (!prev) return 0.0f;

    const SyncKey* far = next ? next : prev;
    // Both key times carry the same millisecond offset, so c dips slightly below 0 just after a key.
    float tPrev = float(prev->row) / rowRate + 0.001f;
    float tFar = float(far->row) / rowRate + 0.001f;
    float c = tFar > tPrev ? (seconds - tPrev) / (tFar - tPrev) : 0.0f;
    return interpolate(prev->interpolation, prev->value, far->value, c);
}

} // namespace sync_tracks
