// The mixer: the tick clock, the segments between ticks, and each channel's frames, one by one while they
// ramp or crossfade (mixer.cpp) and in runs and stretches once settled (settled_mix.cpp).
#pragma once

#include "music/module_player.h"

#include <cstdint>

namespace music {

// Mixes frames stereo frames (left, right) into interleavedStereo, overwriting it.
void renderFrames(ModulePlayer* player, float* interleavedStereo, uint32_t frames);
// How many frames, at most `limit`, a render call can mix before the next tick is due: 1 when a tick is
// due now (the call's first frame plays it), so that a caller can split a render at the ticks.
uint32_t framesToTick(const ModulePlayer* player, uint32_t limit);

// The channel's next sample value (no interpolation); advances the position through the sample's loop.
// Also used by the replayer to capture a channel's old sound.
float fetchSample(PlayerChannel& channel);

// Adds a settled channel's frames (fixed gains, crossfade over) into left and right, for one sample width
// (8 or 16) and loop type, and moves its position on as frame by frame.
template <int Bits, int Loop>
void mixSettled(PlayerChannel& channel, float* left, float* right, uint32_t frames);

} // namespace music
