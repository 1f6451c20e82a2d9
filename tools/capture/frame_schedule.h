// The capture's deterministic clock: video frame n shows the music as a device would report it after
// playing n / fps seconds, counted in whole audio frames.
#pragma once

#include "music/audio_stream.h"

#include <cmath>
#include <cstdint>

namespace tools {

inline uint64_t audioFramesAt(uint64_t videoFrame, int fps) {
    return videoFrame * base::kAudioRate / uint64_t(fps);
}
inline uint64_t audioFramesAtSeconds(double seconds) {
    return uint64_t(std::llround(seconds * base::kAudioRate));
}

// The first video frame at or after `seconds`; the end of a range is the first frame of the next one.
inline uint64_t videoFrameAt(double seconds, int fps) {
    return uint64_t(std::ceil(seconds * fps - 1e-9));
}

inline float showTimeAt(uint64_t audioFrames) {
    return music::audioSecondsFromBytes(uint32_t(audioFrames * 8));
}

} // namespace tools
