// Which parts of the looping ring to render again once the device has played further: the frames
// between the last refill and the play cursor, split where the ring wraps.
#pragma once

#include <cstdint>

namespace music {

constexpr uint32_t kRingFrames = 4096;

// Calls render(ringIndex, frames) for each piece of the frames in [rendered, played) and returns the
// new refill count (played when anything was behind, else rendered). A piece never crosses the ring's
// end; a refill more than one ring behind renders whole laps, each at most one ring long.
template <class Render> uint32_t refillRing(uint32_t rendered, uint32_t played, Render&& render) {
    if (played <= rendered) return rendered;
    uint32_t remaining = played - rendered;
    while (remaining > 0) {
        const bool sameLap = played - played % kRingFrames == rendered - rendered % kRingFrames;
        const uint32_t chunk = sameLap ? kRingFrames : kRingFrames - rendered % kRingFrames;
        const uint32_t n = chunk < remaining ? chunk : remaining;
        render(rendered % kRingFrames, n);
        rendered += n;
        remaining -= n;
    }
    return rendered;
}

} // namespace music
