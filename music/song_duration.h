// How long a song plays before it first returns to a row it has already played.
#pragma once

#include "music/module_player.h"

namespace music {

struct SongDuration {
    uint32_t rows;   // rows played before the first repeated row (pattern-loop repeats included)
    uint64_t frames; // output frame at which the repeated row starts
    bool looped;     // false when maxFrames ran out first
};

// Plays a freshly created player (mixing included, so the state matches a real render) until its loop
// count first reaches 1, or for at most maxFrames frames.
SongDuration measureSongDuration(ModulePlayer* player, uint64_t maxFrames);

} // namespace music
