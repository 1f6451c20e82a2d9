// Keys and keyframed tracks: the values that move and switch everything in the show.
#pragma once

#include "base/dyn_array.h"

#include <cstdint>

namespace sync_tracks {

// How a key's value travels to the next key's value; codes outside this list hold.
enum class Interpolation : int32_t {
    Hold = 0,
    Linear = 1,
    Smooth = 2,    // (3 - 2c)c²
    Quadratic = 3, // ease-in c²
    Quartic = 4,   // ease-in c⁴
};

struct SyncKey {
    uint32_t row = 0; // on the tempo grid, counted from the start of the music
    float value = 0.0f;
    int32_t interpolation = int32_t(Interpolation::Hold); // an Interpolation code
};
static_assert(sizeof(SyncKey) == 12);

struct SyncTrack {
    // Tracks are addressed by index; the name stays zero (the context variables carry the names).
    char name[256] = {};
    base::DynArray<SyncKey> keys;

    // Keys must be added in ascending row order; evaluation scans them in the order they were added.
    void addKey(const SyncKey& key) { keys.append(key); }
};

} // namespace sync_tracks
