// The show's choreography: the track names in table order, the tempo grid and every key, compiled from
// content/data/track_names.txt and content/data/tracks.txt at build time.
#pragma once

#include "sync/context_variable.h"
#include "sync/track_set.h"

#include <string>
#include <string_view>

namespace Orvo::Gfx {

// Track i is also context variable i and the float at byte 608 + 4i of the shared constant buffer.
constexpr uint32_t kTrackCount = 104;

extern const char* const kTrackNames[kTrackCount];
extern const float kTrackBeatsPerMinute;
extern const uint32_t kTrackRowsPerBeat;

// All keys, track by track in table order, ascending by row within a track: the keys of track i are
// kTrackKeys[kTrackKeyStart[i]] up to, not including, kTrackKeys[kTrackKeyStart[i + 1]].
extern const sync_tracks::SyncKey kTrackKeys[];
extern const uint32_t kTrackKeyCount;
extern const uint32_t kTrackKeyStart[kTrackCount + 1];

// Sets the tempo, sizes the set to the table's tracks and adds every key, track by track in ascending
// row order, the order the scene builder lays them down in.
void layDownTrackKeys(sync_tracks::TrackSet& set);

// Reads a key table written like content/data/tracks.txt (see sync/track_text.h) against the compiled-in
// track names into `set`: its tempo and every track's keys, the way the director mode follows the file
// while the show runs. On a fault `set` keeps what it had and `error` gets one line, `PATH:LINE: what is
// wrong` or `PATH: cannot read (why)` (PATH as given; `unreadable` then true).
bool readTrackFile(const char* path, sync_tracks::TrackSet& set, std::string* error,
                   bool* unreadable = nullptr);
// The same for text already read, named `fileName` in the message.
bool readTrackText(std::string_view text, const char* fileName, sync_tracks::TrackSet& set,
                   std::string* error);

// Appends one Float context variable per track, in table order, named as the track. Each starts at 0.0
// except NUMSPHEREZ at 1.0, which stands until the first evaluated values are written.
void appendTrackVariables(base::DynArray<sync_tracks::ContextVariable>& variables);

} // namespace Orvo::Gfx
