#include "music/song_duration.h"
#include "music/mixer.h"

#include <algorithm>

namespace music {

SongDuration measureSongDuration(ModulePlayer* p, uint64_t maxFrames) {
    constexpr uint32_t kChunk = 1024;
    float scratch[2 * kChunk];
    SongDuration d{0, 0, false};
    while (p->framesRendered < maxFrames) {
        if (p->framesToNextTick > 0.0f) {
            // Frames before the next tick: nothing to observe.
            renderFrames(
                p, scratch,
                framesToTick(p, uint32_t(std::min<uint64_t>(kChunk, maxFrames - p->framesRendered))));
            continue;
        }
        bool rowStarts = p->tick == 0;
        uint64_t frame = p->framesRendered;
        renderFrames(p, scratch, 1);
        if (!rowStarts) continue;
        if (p->loopCount >= 1) {
            d.frames = frame;
            d.looped = true;
            return d;
        }
        ++d.rows;
    }
    d.frames = p->framesRendered;
    return d;
}

} // namespace music
