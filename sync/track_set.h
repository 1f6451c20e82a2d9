// The show's tracks on one tempo grid.
#pragma once

#include "sync/sync_track.h"

namespace sync_tracks {

struct TrackSet {
    base::DynArray<SyncTrack> tracks;
    float beatsPerMinute = 120.0f;
    uint32_t rowsPerBeat = 8;

    // Rows per second of the tempo grid.
    float rowRate() const { return float(rowsPerBeat) * beatsPerMinute / 60.0f; }

    // New tracks are empty with a fresh key array; removed tracks release their keys.
    void resize(uint32_t count) { tracks.resize(count); }
    SyncTrack& track(uint32_t index) { return tracks[index]; }
    const SyncTrack& track(uint32_t index) const { return tracks[index]; }
};

} // namespace sync_tracks
