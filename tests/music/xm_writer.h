// Builds XM 1.04 modules in memory for the tests, so each case can be a two- or three-row pattern.
#pragma once

#include "module_player.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct XmSample {
    std::vector<int16_t> points; // absolute values; written as deltas
    bool sixteenBit = false;
    uint32_t loopStart = 0;  // as stored in the file (bytes)
    uint32_t loopLength = 0; // as stored in the file (bytes)
    uint8_t type = 0;        // loop bits 0-1; bit 4 (16-bit) is set from sixteenBit
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    std::optional<uint32_t> lengthBytes; // overrides the stored length
};

struct XmEnvelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;
    uint8_t countOverride = 0; // nonzero: stored instead of points.size()
    uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t type = 0; // bit 0 on, bit 1 sustain, bit 2 loop
};

struct XmInstrument {
    std::vector<XmSample> samples;
    std::array<uint8_t, 96> keymap{};
    XmEnvelope volume, panning;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    uint16_t fadeout = 0;
    uint32_t headerSize = 263; // declared; 0 or above 263 still writes 263 bytes
};

struct XmPattern {
    uint16_t rows = 0;
    std::vector<PatternCell> cells;             // rows x channels
    std::optional<std::vector<uint8_t>> packed; // raw packed data instead of the cells
};

struct XmSong {
    uint16_t channels = 2;
    std::vector<uint8_t> order{0};
    std::optional<uint16_t> songLength; // defaults to order.size()
    uint16_t restart = 0;
    bool linear = true;
    uint16_t speed = 6;
    uint16_t tempo = 125;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;

    // Adds an empty pattern and returns its index.
    size_t addPattern(uint16_t rows);
    PatternCell& cell(size_t pattern, uint16_t row, uint16_t channel);
};

std::vector<uint8_t> writeXm(const XmSong& song);

// An instrument with one 8-bit sample (all notes mapped to it).
XmInstrument makeInstrument(std::vector<int16_t> points, uint8_t loopType = 0, uint32_t loopStart = 0,
                            uint32_t loopLength = 0);

// A song of one pattern with rows x channels empty cells and one instrument: a 1000-point 8-bit sample
// of constant value 64 on a forward loop over all of it, so notes keep sounding.
XmSong makeSong(uint16_t rows, uint16_t channels = 1, uint16_t speed = 6);
constexpr uint8_t kMiddleC = 49; // note value 48: period 4608, 8363 Hz

struct PlayerDeleter {
    void operator()(ModulePlayer* p) const { freeModulePlayer(p); }
};
using PlayerPtr = std::unique_ptr<ModulePlayer, PlayerDeleter>;

// Creates a player; null when creation fails.
PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate = 44100);
void runTicks(ModulePlayer* player, int ticks);
