#include "xm_writer.h"

#include <algorithm>
#include <string>

namespace composer {
namespace {

constexpr uint32_t kSongHeaderSize = 276; // from its own size field to the end of the order table
constexpr uint32_t kPatternHeaderSize = 9;
constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr size_t kMaxEnvelopePoints = 12;

class ByteWriter {
  public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    // Fixed-width text field, padded with zeros; longer names are cut.
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    size_t size() const { return bytes_.size(); }
    std::vector<uint8_t> take() { return std::move(bytes_); }

  private:
    std::vector<uint8_t> bytes_;
};

void writeSongHeader(ByteWriter& out, const XmModule& module) {
    if (module.order.empty() || module.order.size() > 256) throw XmFormatError("song length must be 1..256");
    if (module.restartPosition >= module.order.size())
        throw XmFormatError("restart position beyond the song");
    if (module.channels == 0 || module.channels > 32) throw XmFormatError("channel count must be 1..32");
    if (module.patterns.empty() || module.patterns.size() > 256)
        throw XmFormatError("pattern count must be 1..256");
    if (module.instruments.size() > 128) throw XmFormatError("at most 128 instruments");
    for (uint8_t p : module.order) {
        if (p >= module.patterns.size()) throw XmFormatError("order table names a missing pattern");
    }

    out.text("Extended Module: ", 17);
    out.text(module.title, 20);
    out.u8(0x1A);
    out.text(module.tracker, 20);
    out.u16(0x0104);
    out.u32(kSongHeaderSize);
    out.u16(uint16_t(module.order.size()));
    out.u16(module.restartPosition);
    out.u16(module.channels);
    out.u16(uint16_t(module.patterns.size()));
    out.u16(uint16_t(module.instruments.size()));
    out.u16(module.linearFrequencies ? 1 : 0);
    out.u16(module.speed);
    out.u16(module.tempo);
    for (size_t i = 0; i < 256; ++i) out.u8(i < module.order.size() ? module.order[i] : 0);
}

void writePattern(ByteWriter& out, const XmPattern& pattern, uint16_t channels) {
    if (pattern.channels != channels) throw XmFormatError("pattern channel count differs from the song's");
    if (pattern.rows == 0 || pattern.rows > 256) throw XmFormatError("pattern rows must be 1..256");
    std::vector<uint8_t> packed = packPattern(pattern);
    if (packed.size() > 0xFFFF) throw XmFormatError("packed pattern exceeds 64 KiB");
    out.u32(kPatternHeaderSize);
    out.u8(0); // packing type
    out.u16(pattern.rows);
    out.u16(uint16_t(packed.size()));
    out.append(packed);
}

void writeEnvelopePoints(ByteWriter& out, const XmEnvelope& envelope) {
    for (size_t i = 0; i < kMaxEnvelopePoints; ++i) {
        XmEnvelopePoint p = i < envelope.points.size() ? envelope.points[i] : XmEnvelopePoint{};
        out.u16(p.tick);
        out.u16(p.value);
    }
}

uint8_t envelopeType(const XmEnvelope& envelope) {
    if (!envelope.enabled()) return 0;
    return uint8_t(1 | (envelope.sustain ? 2 : 0) | (envelope.loop ? 4 : 0));
}

void checkEnvelope(const XmEnvelope& envelope) {
    const auto& pts = envelope.points;
    if (pts.size() > kMaxEnvelopePoints) throw XmFormatError("an envelope holds at most 12 points");
    for (size_t i = 1; i < pts.size(); ++i) {
        if (pts[i].tick <= pts[i - 1].tick) throw XmFormatError("envelope ticks must rise");
    }
    for (const auto& p : pts) {
        if (p.value > 64) throw XmFormatError("envelope values are 0..64");
    }
    if (envelope.sustain && envelope.sustainPoint >= pts.size())
        throw XmFormatError("sustain point beyond the envelope");
    if (envelope.loop && (envelope.loopStart > envelope.loopEnd || envelope.loopEnd >= pts.size()))
        throw XmFormatError("envelope loop outside the envelope");
}

void writeInstrument(ByteWriter& out, const XmInstrument& instrument) {
    const XmSample& sample = instrument.sample;
    checkEnvelope(instrument.volumeEnvelope);
    if (sample.data.empty()) throw XmFormatError("an instrument needs sample data");
    if (sample.loop != XmLoop::None &&
        (sample.loopLength == 0 || uint64_t(sample.loopStart) + sample.loopLength > sample.data.size()))
        throw XmFormatError("sample loop outside the sample");
    if (sample.volume > 64) throw XmFormatError("sample volume is 0..64");

    const size_t start = out.size();
    out.u32(kInstrumentHeaderSize);
    out.text(instrument.name, 22);
    out.u8(0);  // instrument type
    out.u16(1); // one sample
    out.u32(kSampleHeaderSize);
    out.zeros(96); // every note plays sample 0
    writeEnvelopePoints(out, instrument.volumeEnvelope);
    writeEnvelopePoints(out, XmEnvelope{}); // no panning envelope
    const XmEnvelope& v = instrument.volumeEnvelope;
    out.u8(uint8_t(v.points.size()));
    out.u8(0);
    out.u8(v.sustainPoint);
    out.u8(v.loopStart);
    out.u8(v.loopEnd);
    out.zeros(3); // panning sustain and loop
    out.u8(envelopeType(v));
    out.u8(0);
    out.u8(instrument.vibratoType);
    out.u8(instrument.vibratoSweep);
    out.u8(instrument.vibratoDepth);
    out.u8(instrument.vibratoRate);
    out.u16(instrument.fadeout);
    out.zeros(start + kInstrumentHeaderSize - out.size()); // reserved

    const bool looped = sample.loop != XmLoop::None;
    out.u32(uint32_t(sample.data.size()));
    out.u32(looped ? sample.loopStart : 0);
    out.u32(looped ? sample.loopLength : 0);
    out.u8(sample.volume);
    out.u8(uint8_t(sample.finetune));
    out.u8(uint8_t(sample.loop));
    out.u8(sample.panning);
    out.u8(uint8_t(sample.relativeNote));
    out.u8(0); // delta-coded data
    out.text(sample.name, 22);
    out.append(deltaEncode(sample.data));
}

} // namespace

std::vector<uint8_t> packPattern(const XmPattern& pattern) {
    std::vector<uint8_t> packed;
    for (const XmCell& c : pattern.cells) {
        const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
        uint8_t mask = 0;
        for (int i = 0; i < 5; ++i) {
            if (fields[i] != 0) mask |= uint8_t(1 << i);
        }
        if (mask == 0x1F) {
            packed.insert(packed.end(), fields, fields + 5);
            continue;
        }
        packed.push_back(uint8_t(0x80 | mask));
        for (int i = 0; i < 5; ++i) {
            if (fields[i] != 0) packed.push_back(fields[i]);
        }
    }
    return packed;
}

std::vector<uint8_t> deltaEncode(const std::vector<int8_t>& data) {
    std::vector<uint8_t> out(data.size());
    uint8_t previous = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        out[i] = uint8_t(uint8_t(data[i]) - previous);
        previous = uint8_t(data[i]);
    }
    return out;
}

std::vector<uint8_t> writeXm(const XmModule& module) {
    ByteWriter out;
    writeSongHeader(out, module);
    for (const XmPattern& p : module.patterns) writePattern(out, p, module.channels);
    for (const XmInstrument& i : module.instruments) writeInstrument(out, i);
    return out.take();
}

} // namespace composer
