// The module as the composer builds it in memory, field for field what an Extended Module 1.04 stores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace composer {

// Note numbers as stored in a cell: 1 = C-0 ... 96 = B-7, 97 = key off.
constexpr uint8_t kNoteKeyOff = 97;

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0; // volume column byte (0x10 + volume, or a column command)
    uint8_t effect = 0;
    uint8_t param = 0;

    bool empty() const { return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0; }
};

struct XmPattern {
    uint16_t rows = 64;
    uint16_t channels = 0;
    std::vector<XmCell> cells; // row-major: all channels of row 0, then row 1, ...

    XmPattern(uint16_t rowCount, uint16_t channelCount)
        : rows(rowCount), channels(channelCount), cells(size_t(rowCount) * channelCount) {}
    XmCell& at(unsigned row, unsigned channel) { return cells.at(size_t(row) * channels + channel); }
    const XmCell& at(unsigned row, unsigned channel) const {
        return cells.at(size_t(row) * channels + channel);
    }
};

struct XmEnvelopePoint {
    uint16_t tick = 0;
    uint16_t value = 0; // 0..64
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // at most 12
    uint8_t sustainPoint = 0;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
    bool sustain = false;
    bool loop = false;

    bool enabled() const { return !points.empty(); }
};

enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

// One 8-bit sample; loop points count sample points.
struct XmSample {
    std::string name;
    std::vector<int8_t> data;
    uint32_t loopStart = 0;
    uint32_t loopLength = 0;
    XmLoop loop = XmLoop::None;
    uint8_t volume = 64;   // 0..64
    int8_t finetune = 0;   // 1/128 semitone
    uint8_t panning = 128; // 0 left .. 255 right
    int8_t relativeNote = 0;
};

struct XmInstrument {
    std::string name;
    XmSample sample; // every instrument of ours carries exactly one sample, mapped to all notes
    XmEnvelope volumeEnvelope;
    uint16_t fadeout = 0;
    uint8_t vibratoType = 0; // 0 sine, 1 square, 2 ramp down, 3 ramp up (the file's numbering)
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
};

struct XmModule {
    std::string title;
    std::string tracker;
    uint16_t channels = 0;
    uint16_t restartPosition = 0;
    bool linearFrequencies = true;
    uint16_t speed = 6;
    uint16_t tempo = 125;
    std::vector<uint8_t> order;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

} // namespace composer
