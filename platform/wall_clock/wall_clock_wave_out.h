// A silent wave device that plays in real time: its position follows the wall clock from the write on,
// so the music drives the show exactly as on a sound card, with nothing to hear (mirelandt --no-audio).
#pragma once

#include "platform/wave_out.h"

namespace wave {

WaveOutDriver& wallClockWaveOutDriver();

} // namespace wave
