// The constants of the show that the music, the show and the tools share.
#pragma once

#include <cstdint>

namespace base {

// The music clock at which the show is over; a frame at or past it is not rendered.
constexpr float kShowEndSeconds = 67.0f;
// Stereo frames per second of the music as the intro plays it and the tools render it.
constexpr uint32_t kAudioRate = 44100;
// The tempo grid that the music is written on and the tracks' rows follow (content/data/tracks.txt says
// the same in its tempo line): a row every 60 / (173 * 8) s.
constexpr uint32_t kBeatsPerMinute = 173;
constexpr uint32_t kRowsPerBeat = 8;

} // namespace base
