// The constants of the show that the music, the show and the tools share.
#pragma once

#include <cstdint>

// The music clock at which the show is over; a frame at or past it is not rendered.
constexpr float kShowEndSeconds = 67.0f;
// Stereo frames per second of the music as the intro plays it and the tools render it.
constexpr uint32_t kAudioRate = 44100;
