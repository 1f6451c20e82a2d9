// Wave output on SDL2 audio: SDL's callback copies the looping buffer at the play cursor and counts
// the bytes it has handed over. With no sound card SDL's "dummy" driver still consumes in real time.
#pragma once

#include "platform/wave_out.h"

namespace wave {

// The default output device; opening fails (null) when SDL has no audio driver that can start.
WaveOutDriver& sdlWaveOutDriver();

} // namespace wave
