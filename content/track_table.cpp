#include "track_table.h"

void layDownTrackKeys(TrackSet& set) {
    set.beatsPerMinute = trackBeatsPerMinute;
    set.rowsPerBeat = trackRowsPerBeat;
    set.resize(trackCount);
    for (uint32_t i = 0; i < trackCount; ++i)
        for (uint32_t k = trackKeyStart[i]; k < trackKeyStart[i + 1]; ++k) set.track(i).addKey(trackKeys[k]);
}
