// Small modules for the player's tests, so each case can be a two- or three-row pattern, and the
// player made from their bytes.
#pragma once

#include "music/module_player.h"
#include "music/xm_writer.h"

#include <memory>
#include <vector>

// An instrument with one 8-bit sample (all notes mapped to it); loop start and length in points.
music::XmInstrument makeInstrument(std::vector<int16_t> points, music::XmLoop loop = music::XmLoop::None,
                                   uint32_t loopStart = 0, uint32_t loopLength = 0);

// A song of one pattern with rows x channels empty cells and one instrument: a 1000-point 8-bit sample
// of constant value 64 on a forward loop over all of it, so notes keep sounding.
music::XmModule makeSong(uint16_t rows, uint16_t channels = 1, uint16_t speed = 6);
constexpr uint8_t kMiddleC = 49; // note value 48: period 4608, 8363 Hz

struct PlayerDeleter {
    void operator()(music::ModulePlayer* p) const { music::freeModulePlayer(p); }
};
using PlayerPtr = std::unique_ptr<music::ModulePlayer, PlayerDeleter>;

// Creates a player; null when creation fails.
PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate = 44100);
void runTicks(music::ModulePlayer* player, int ticks);
