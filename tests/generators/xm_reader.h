// A small, independent reader of Extended Module files for the tests: it decodes what the composer
// wrote without using the composer's own code, so that the two can check each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xmtest {

struct Cell {
    uint8_t note, instrument, volume, effect, param;
};

struct Pattern {
    unsigned rows = 0;
    std::vector<Cell> cells; // rows x channels
};

struct Sample {
    uint32_t length = 0, loopStart = 0, loopLength = 0;
    uint8_t volume = 0, type = 0, panning = 0;
    int8_t finetune = 0, relativeNote = 0;
    std::vector<int8_t> data; // decoded
};

struct Instrument {
    uint32_t headerSize = 0;
    unsigned sampleCount = 0;
    unsigned volumePoints = 0;
    uint16_t volumeTicks[12] = {}, volumeValues[12] = {};
    uint8_t volumeSustain = 0, volumeType = 0;
    uint16_t fadeout = 0;
    std::vector<Sample> samples;
};

struct Module {
    std::vector<uint8_t> bytes;
    uint32_t headerSize = 0;
    unsigned songLength = 0, restart = 0, channels = 0, patternCount = 0, instrumentCount = 0, flags = 0,
             speed = 0, tempo = 0;
    uint8_t order[256] = {};
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;

    const Cell& cell(unsigned pattern, unsigned row, unsigned channel) const {
        return patterns.at(pattern).cells.at(row * channels + channel);
    }
};

// Throws std::runtime_error on a malformed or truncated file.
Module readModule(std::vector<uint8_t> bytes);

// One played row: where it came from and when it starts, in rows from the song's start.
struct PlayedRow {
    unsigned position, pattern, row;
};

// Follows the order list, pattern breaks and position jumps as a player does, until a (position, row)
// that was already played comes up again: the song as heard once.
std::vector<PlayedRow> playOnce(const Module& m);

} // namespace xmtest
