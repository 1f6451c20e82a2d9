// Extended Module 1.04 files built in memory and written as bytes. The model holds what the file stores,
// field for field; counts and lengths follow from the data unless a "stored" override gives the value
// to write instead (modules whose fields disagree with their data, for the loader's robustness). The
// composer writes the intro's module with it, the tests and the fuzz seeds their small modules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace music {

// Note numbers as stored in a cell: 1 = C-0 ... 96 = B-7, 97 = key off.
constexpr uint8_t kXmKeyOff = 97;

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0; // volume column byte (0x10 + volume, or a column command)
    uint8_t effect = 0;
    uint8_t param = 0;

    bool empty() const { return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0; }
};

struct XmPattern {
    uint16_t rows = 0;
    uint16_t channels = 0;
    std::vector<XmCell> cells;                  // row-major: all channels of row 0, then row 1, ...
    std::optional<std::vector<uint8_t>> packed; // stored instead of the packed cells

    XmPattern(uint16_t rowCount, uint16_t channelCount)
        : rows(rowCount), channels(channelCount), cells(size_t(rowCount) * channelCount) {}
    XmCell& at(unsigned row, unsigned channel) { return cells.at(size_t(row) * channels + channel); }
    const XmCell& at(unsigned row, unsigned channel) const {
        return cells.at(size_t(row) * channels + channel);
    }
};

struct XmEnvelopePoint {
    uint16_t tick = 0;
    uint16_t value = 0; // 0..64 in a well-formed envelope
};

// Bits of an envelope's stored type.
enum XmEnvelopeType : uint8_t { XmEnvelopeOn = 1, XmEnvelopeSustain = 2, XmEnvelopeLoop = 4 };

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // at most 12
    uint8_t sustainPoint = 0;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
    uint8_t type = 0;                   // XmEnvelopeType bits
    std::optional<uint8_t> storedCount; // stored instead of the number of points
};

// The loop bits of a sample's type byte.
enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct XmSample {
    std::string name;
    std::vector<int16_t> points; // absolute values (-128..127 for 8-bit data), stored as differences
    bool sixteenBit = false;
    uint32_t loopStart = 0;  // as stored: bytes, the same as points for 8-bit data
    uint32_t loopLength = 0; // bytes
    XmLoop loop = XmLoop::None;
    uint8_t volume = 64;   // 0..64
    int8_t finetune = 0;   // 1/128 semitone
    uint8_t panning = 128; // 0 left .. 255 right
    int8_t relativeNote = 0;
    std::optional<uint32_t> storedLength; // bytes, stored instead of the data's length

    uint32_t dataBytes() const { return uint32_t(points.size() * (sixteenBit ? 2 : 1)); }
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;
    std::array<uint8_t, 96> keymap{}; // sample index for each note
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0; // 0 sine, 1 square, 2 ramp down, 3 ramp up
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;
    // Declared instead of 263; the header is written up to the declared size, or whole where that
    // is 0 or beyond it.
    std::optional<uint32_t> storedHeaderSize;
};

struct XmModule {
    std::string title;
    std::string tracker;
    uint16_t channels = 2;
    std::vector<uint8_t> order{0};
    std::optional<uint16_t> storedSongLength; // stored instead of the order's length
    uint16_t restartPosition = 0;
    bool linearFrequencies = true;
    uint16_t speed = 6;
    uint16_t tempo = 125;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;

    // Appends an empty pattern of the module's channel count and returns its index.
    size_t addPattern(uint16_t rows);
    XmCell& cell(size_t pattern, unsigned row, unsigned channel) {
        return patterns.at(pattern).at(row, channel);
    }
};

// Thrown for a module that cannot be stored (writeXm) or is not well-formed (checkXm).
struct XmFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Refuses what a well-formed module cannot be: counts outside the format's ranges, an order naming a
// missing pattern, envelopes with falling ticks or points outside them, loops outside their sample,
// 8-bit values out of range.
void checkXm(const XmModule& module);

// Packs a pattern's cells as the format compresses them: a full cell as its five bytes, any other as a
// mask byte (bit 7 set, bits 0-4 say which of the five fields follow) and the fields present. A note
// with bit 7 set cannot lead a full cell and goes behind a mask.
std::vector<uint8_t> packPattern(const XmPattern& pattern);

// The stored sample data: running differences of consecutive values, wrapping, in the sample's width
// (16-bit values little-endian).
std::vector<uint8_t> encodeSampleData(const XmSample& sample);

// The file's bytes. Throws XmFormatError only where the data does not fit its field (more than 12
// envelope points, 256 order entries or 65535 bytes of packed pattern).
std::vector<uint8_t> writeXm(const XmModule& module);

} // namespace music
