// One frame of the show up to the rendering, shared by the intro and the offline capture: the camera
// from the first eight tracks, the frame context published, every track's value in its variable.
#pragma once

#include "base/show_constants.h"
#include "gfx/frame_context.h"
#include "sync/context_variable.h"
#include "sync/track_set.h"

#include <cstdint>

namespace show {

struct ShowScreen {
    int width = 0;
    int height = 0;
    float aspect = 0.0f; // width / height, computed once at start-up
};

struct ShowClock {
    float prevTime = 0.0f; // the time of the previous frame, 0 before the first
    uint32_t frameCounter = 0;
};

struct ShowState {
    ShowScreen screen;
    Orvo::Gfx::FrameContext frameContext{};
    const sync_tracks::TrackSet* tracks = nullptr;
    sync_tracks::ContextVariable* variables = nullptr; // one per track, in track order
    uint32_t variableCount = 0;
    ShowClock clock;
};

ShowScreen makeShowScreen(int width, int height);
// The part of a width x height image the show draws: all of it at 16:9 or wider (a wider one shows more at
// the sides); on a narrower one the 16:9 picture at its full width, with bands above and below.
ShowScreen showPicture(int width, int height);

// Fills and publishes the frame context for `time` (counting the frame) and writes the value of every
// track that has a variable into it. The caller renders next and then records `time` as prevTime.
void prepareShowFrame(ShowState& show, float time);

// Puts the show where rendering `framesBefore` frames, the last at `previousTime`, leaves it, without
// rendering: the frame counter, the previous time, and that last frame's camera published, so that the
// next frame sees it as its last view and projection. A capture worker starting mid-range calls it before
// each frame it renders. framesBefore is at least 1.
void seekShowFrame(ShowState& show, uint32_t framesBefore, float previousTime);

} // namespace show
