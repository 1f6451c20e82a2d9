// Track evaluation: a track's value at a time of the music.
#pragma once

#include "sync/track_set.h"

namespace sync_tracks {

// The value of track `index` at `seconds` of music time. Pure: the same time always gives the same value.
float evaluateTrack(const TrackSet& set, uint32_t index, float seconds);

} // namespace sync_tracks
