#include "show/show_frame.h"

#include "show/camera.h"
#include "sync/evaluate_track.h"

#include <algorithm>
#include <cstring>

using namespace Orvo::Gfx;
using namespace sync_tracks;

namespace show {

ShowScreen makeShowScreen(int width, int height) {
    return {width, height, float(width) / float(height)};
}

ShowScreen showPicture(int width, int height) {
    // The show is composed for 16:9.
    if (int64_t(width) * 9 >= int64_t(height) * 16) return makeShowScreen(width, height);
    return makeShowScreen(width, std::max(1, int((int64_t(width) * 9 + 8) / 16)));
}

void prepareShowFrame(ShowState& show, float time) {
    float camera[8];
    for (uint32_t i = 0; i < 8; ++i) camera[i] = evaluateTrack(*show.tracks, i, time);
    const CameraMatrices matrices = buildCamera(camera, show.screen.aspect);

    FrameContextHeader& header = show.frameContext.header;
    header = {};
    header.time = time;
    header.frame = show.clock.frameCounter++;
    header.elapsedTime = time - show.clock.prevTime;
    header.resolution = {float(show.screen.width), float(show.screen.height)};
    header.viewMatrix = matrices.view;
    header.projectionMatrix = matrices.projection;
    show.frameContext.publish();

    // A scene with fewer variables than tracks (one still being built) gets only the ones it has.
    const uint32_t count = std::min(show.tracks->tracks.count, show.variableCount);
    for (uint32_t i = 0; i < count; ++i) {
        const float value = evaluateTrack(*show.tracks, i, time);
        std::memcpy(show.variables[i].value, &value, sizeof value);
    }
}

void seekShowFrame(ShowState& show, uint32_t framesBefore, float previousTime) {
    show.clock.frameCounter = framesBefore - 1;
    prepareShowFrame(show, previousTime);
    show.clock.prevTime = previousTime;
}

} // namespace show
