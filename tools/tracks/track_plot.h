#pragma once
#include "track_set.h"

// Draws every track over the show (0-67 s) as a small labelled chart with the beat grid and the
// section boundaries, all on one PNG image. Returns false when the file cannot be written.
bool plotTracks(const TrackSet& set, const char* const names[], uint32_t count, const char* path);
