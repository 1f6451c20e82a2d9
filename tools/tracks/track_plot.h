// The plot of every track over the show, as one PNG image.
#pragma once

#include "sync/track_set.h"

#include <string>

namespace tools {

// Draws every track over the show (0-67 s) as a small labelled chart with the beat grid and the
// section boundaries, all on one PNG image. False with a reason when the file cannot be written.
bool plotTracks(const sync_tracks::TrackSet& set, const char* const names[], uint32_t count, const char* path,
                std::string* error);

} // namespace tools
