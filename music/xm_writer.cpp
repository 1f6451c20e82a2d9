#include "music/xm_writer.h"

#include <algorithm>

namespace music {

namespace {

constexpr uint32_t kSongHeaderSize = 276; // from its own size field to the end of the order table
constexpr uint32_t kPatternHeaderSize = 9;
constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr size_t kMaxEnvelopePoints = 12;
constexpr size_t kMaxOrder = 256;

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
    void append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    std::vector<uint8_t>& bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

void writeSongHeader(ByteWriter& out, const XmModule& module) {
    if (module.order.size() > kMaxOrder) throw XmFormatError("the order table holds at most 256 entries");
    out.text("Extended Module: ", 17);
    out.text(module.title, 20);
    out.u8(0x1A);
    out.text(module.tracker, 20);
    out.u16(0x0104);
    out.u32(kSongHeaderSize);
    out.u16(module.storedSongLength.value_or(uint16_t(module.order.size())));
    out.u16(module.restartPosition);
    out.u16(module.channels);
    out.u16(uint16_t(module.patterns.size()));
    out.u16(uint16_t(module.instruments.size()));
    out.u16(module.linearFrequencies ? 1 : 0);
    out.u16(module.speed);
    out.u16(module.tempo);
    for (size_t i = 0; i < kMaxOrder; ++i) out.u8(i < module.order.size() ? module.order[i] : 0);
}

void writePattern(ByteWriter& out, const XmPattern& pattern) {
    const std::vector<uint8_t> packed = pattern.packed ? *pattern.packed : packPattern(pattern);
    if (packed.size() > 0xFFFF) throw XmFormatError("packed pattern exceeds 64 KiB");
    out.u32(kPatternHeaderSize);
    out.u8(0); // packing type
    out.u16(pattern.rows);
    out.u16(uint16_t(packed.size()));
    out.append(packed);
}

void writeEnvelopePoints(ByteWriter& out, const XmEnvelope& envelope) {
    if (envelope.points.size() > kMaxEnvelopePoints)
        throw XmFormatError("an envelope holds at most 12 points");
    for (size_t i = 0; i < kMaxEnvelopePoints; ++i) {
        const XmEnvelopePoint p = i < envelope.points.size() ? envelope.points[i] : XmEnvelopePoint{};
        out.u16(p.tick);
        out.u16(p.value);
    }
}

uint8_t envelopeCount(const XmEnvelope& envelope) {
    return envelope.storedCount.value_or(uint8_t(envelope.points.size()));
}

void writeInstrument(ByteWriter& out, const XmInstrument& instrument) {
    const uint32_t declared = instrument.storedHeaderSize.value_or(kInstrumentHeaderSize);
    const XmEnvelope& v = instrument.volumeEnvelope;
    const XmEnvelope& p = instrument.panningEnvelope;
    ByteWriter header;
    header.u32(declared);
    header.text(instrument.name, 22);
    header.u8(0); // instrument type
    header.u16(uint16_t(instrument.samples.size()));
    header.u32(kSampleHeaderSize);
    for (uint8_t k : instrument.keymap) header.u8(k);
    writeEnvelopePoints(header, v);
    writeEnvelopePoints(header, p);
    for (uint8_t b : {envelopeCount(v), envelopeCount(p), v.sustainPoint, v.loopStart, v.loopEnd,
                      p.sustainPoint, p.loopStart, p.loopEnd, v.type, p.type, instrument.vibratoType,
                      instrument.vibratoSweep, instrument.vibratoDepth, instrument.vibratoRate})
        header.u8(b);
    header.u16(instrument.fadeout);
    header.bytes().resize(kInstrumentHeaderSize, 0); // reserved
    const uint32_t written =
        declared >= 1 && declared <= kInstrumentHeaderSize ? declared : kInstrumentHeaderSize;
    out.bytes().insert(out.bytes().end(), header.bytes().begin(), header.bytes().begin() + written);

    for (const XmSample& s : instrument.samples) {
        out.u32(s.storedLength.value_or(s.dataBytes()));
        out.u32(s.loopStart);
        out.u32(s.loopLength);
        out.u8(s.volume);
        out.u8(uint8_t(s.finetune));
        out.u8(uint8_t(uint8_t(s.loop) | (s.sixteenBit ? 0x10 : 0)));
        out.u8(s.panning);
        out.u8(uint8_t(s.relativeNote));
        out.u8(0); // delta-coded data
        out.text(s.name, 22);
    }
    for (const XmSample& s : instrument.samples) out.append(encodeSampleData(s));
}

void checkEnvelope(const XmEnvelope& envelope) {
    const auto& pts = envelope.points;
    for (size_t i = 1; i < pts.size(); ++i) {
        if (pts[i].tick <= pts[i - 1].tick) throw XmFormatError("envelope ticks must rise");
    }
    for (const auto& p : pts) {
        if (p.value > 64) throw XmFormatError("envelope values are 0..64");
    }
    if ((envelope.type & XmEnvelopeSustain) && envelope.sustainPoint >= pts.size())
        throw XmFormatError("sustain point beyond the envelope");
    if ((envelope.type & XmEnvelopeLoop) &&
        (envelope.loopStart > envelope.loopEnd || envelope.loopEnd >= pts.size()))
        throw XmFormatError("envelope loop outside the envelope");
}

void checkSample(const XmSample& sample) {
    if (sample.points.empty()) throw XmFormatError("a sample needs data");
    if (sample.volume > 64) throw XmFormatError("sample volume is 0..64");
    if (!sample.sixteenBit && std::any_of(sample.points.begin(), sample.points.end(),
                                          [](int16_t v) { return v < -128 || v > 127; }))
        throw XmFormatError("8-bit sample values are -128..127");
    if (sample.loop == XmLoop::None) return;
    const bool oddForWidth = sample.sixteenBit && ((sample.loopStart | sample.loopLength) & 1);
    if (sample.loopLength == 0 || oddForWidth ||
        uint64_t(sample.loopStart) + sample.loopLength > sample.dataBytes())
        throw XmFormatError("sample loop outside the sample");
}

} // namespace

size_t XmModule::addPattern(uint16_t rows) {
    patterns.emplace_back(rows, channels);
    return patterns.size() - 1;
}

void checkXm(const XmModule& module) {
    if (module.order.empty() || module.order.size() > kMaxOrder)
        throw XmFormatError("song length must be 1..256");
    if (module.restartPosition >= module.order.size())
        throw XmFormatError("restart position beyond the song");
    if (module.channels == 0 || module.channels > 32) throw XmFormatError("channel count must be 1..32");
    if (module.patterns.empty() || module.patterns.size() > 256)
        throw XmFormatError("pattern count must be 1..256");
    if (module.instruments.size() > 128) throw XmFormatError("at most 128 instruments");
    for (uint8_t p : module.order) {
        if (p >= module.patterns.size()) throw XmFormatError("order table names a missing pattern");
    }
    for (const XmPattern& p : module.patterns) {
        if (p.channels != module.channels)
            throw XmFormatError("pattern channel count differs from the song's");
        if (p.rows == 0 || p.rows > 256) throw XmFormatError("pattern rows must be 1..256");
    }
    for (const XmInstrument& i : module.instruments) {
        checkEnvelope(i.volumeEnvelope);
        checkEnvelope(i.panningEnvelope);
        for (const XmSample& s : i.samples) checkSample(s);
    }
}

std::vector<uint8_t> packPattern(const XmPattern& pattern) {
    std::vector<uint8_t> packed;
    for (const XmCell& c : pattern.cells) {
        const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
        uint8_t mask = 0;
        for (int i = 0; i < 5; ++i) {
            if (fields[i] != 0) mask |= uint8_t(1 << i);
        }
        if (mask == 0x1F && !(c.note & 0x80)) {
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

std::vector<uint8_t> encodeSampleData(const XmSample& sample) {
    std::vector<uint8_t> out;
    out.reserve(sample.dataBytes());
    uint16_t previous = 0;
    for (int16_t v : sample.points) {
        const auto delta = uint16_t(uint16_t(v) - previous);
        previous = uint16_t(v);
        out.push_back(uint8_t(delta));
        if (sample.sixteenBit) out.push_back(uint8_t(delta >> 8));
    }
    return out;
}

std::vector<uint8_t> writeXm(const XmModule& module) {
    ByteWriter out;
    writeSongHeader(out, module);
    for (const XmPattern& p : module.patterns) writePattern(out, p);
    for (const XmInstrument& i : module.instruments) writeInstrument(out, i);
    return std::move(out.bytes());
}

} // namespace music
