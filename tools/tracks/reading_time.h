// How long each line of a text page can be read while the show plays: the time a page row spends on the
// screen, sharp under the focus blur and with cells tall enough to read, worked out from the keys, the
// camera and the blur's width formula alone (nothing is rendered).
#pragma once

#include "content/assets.h"
#include "sync/track_set.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// A text layer as the vertex program places it: cells 0.4 units wide and 0.8 high, the page centred on
// (-0.4 x, 0.8 y, z) where x, y and z are track values (or fixed numbers, given as a track of -1).
struct ReadingLayer {
    const char* name;
    const assets::CellPages* page;
    int32_t trackX, trackY, trackZ;
    float fixedX, fixedY, fixedZ;
    int32_t alphaTrack; // the layer's opacity
    int32_t frameTrack; // the page frame shown, -1 for frame 0
};

struct ReadingSettings {
    uint32_t width = 1280;
    uint32_t height = 720;
    float stepSeconds = 1.0f / 120.0f;
    float fromSeconds = 0.0f;
    float toSeconds = 67.0f;
    float sharpSigma = 1.5f;     // blur width in pixels up to which a line counts as sharp
    float legibleCellPx = 14.0f; // the least cell height that counts as legible
};

// One page row holding letters or digits in frame 0, and the longest stretch of time it was readable.
struct RowReading {
    uint32_t row;
    std::string text;   // the row's characters, ASCII, others shown as '.'
    float longestFrom;  // start of the longest readable stretch (seconds)
    float longest;      // its length in seconds, 0 when never readable
    float cellPxAtBest; // smallest cell height in that stretch
    float total;        // all readable time together
};

// Looks up the tracks by name in the compiled-in table; -1 for a name that is not there.
int32_t trackIndex(const char* name);

// The readable time of every text row of the layer's page, over the settings' span of the show.
std::vector<RowReading> measureReading(const sync_tracks::TrackSet& set, const ReadingLayer& layer,
                                       const ReadingSettings& settings);

} // namespace tools
