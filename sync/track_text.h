// The key table as readable text (content/data/tracks.txt), read against the track names in table order.
//
// A line holds a `#` comment, blank space, the one `tempo BEATS_PER_MINUTE ROWS_PER_BEAT` line, a key
// `TRACK ROW VALUE INTERPOLATION` (INTERPOLATION is hold, linear, smooth, quadratic or quartic; rows rise
// strictly within a track, whose keys need not stand on neighbouring lines) or the `end` line that closes
// the table; only comments may follow it. The `end` line tells a whole table from one caught while an
// editor writes it: text cut short anywhere before it is refused, never read as fewer keys.
#pragma once

#include "sync/track_set.h"

#include <string>
#include <string_view>

namespace sync_tracks {

struct TrackTextError {
    uint32_t line = 0; // counted from 1; where the text ends too soon, the line after its last newline
    std::string reason;
};

// Gives `set` the text's tempo and exactly `count` tracks, track i holding the keys of names[i] in
// ascending row order. On the first fault returns false with its line and reason, `set` untouched.
bool parseTrackText(std::string_view text, const char* const names[], uint32_t count, TrackSet& set,
                    TrackTextError& error);

} // namespace sync_tracks
