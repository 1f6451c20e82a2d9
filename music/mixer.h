// The mixer's per-channel sample fetch, also used by the replayer to capture a channel's old sound.
#pragma once

#include "music/module_player.h"

// The channel's next sample value (no interpolation); advances the position through the sample's loop.
float fetchSample(PlayerChannel& channel);
