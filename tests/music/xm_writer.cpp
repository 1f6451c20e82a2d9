#include "xm_writer.h"

#include "replayer.h"

#include <algorithm>
#include <cstring>

namespace {

struct Out {
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void text(const char* s, size_t n) {
        size_t len = std::strlen(s);
        for (size_t i = 0; i < n; ++i) u8(i < len ? uint8_t(s[i]) : 0);
    }
};

// Empty cells as a bare mask byte, partly filled ones with a mask, full ones as five bytes.
std::vector<uint8_t> packCells(const std::vector<PatternCell>& cells) {
    std::vector<uint8_t> packed;
    for (const PatternCell& c : cells) {
        const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
        uint8_t mask = 0x80;
        for (int i = 0; i < 5; ++i)
            if (fields[i]) mask |= uint8_t(1 << i);
        if (mask == 0x9F && !(c.note & 0x80)) {
            packed.insert(packed.end(), fields, fields + 5);
            continue;
        }
        packed.push_back(mask);
        for (int i = 0; i < 5; ++i)
            if (fields[i]) packed.push_back(fields[i]);
    }
    return packed;
}

void writeEnvelopePoints(Out& o, const XmEnvelope& e) {
    for (size_t k = 0; k < 12; ++k) {
        o.u16(k < e.points.size() ? e.points[k].first : 0);
        o.u16(k < e.points.size() ? e.points[k].second : 0);
    }
}

uint8_t envelopeCount(const XmEnvelope& e) {
    return e.countOverride ? e.countOverride : uint8_t(e.points.size());
}

uint32_t sampleBytes(const XmSample& s) {
    return s.lengthBytes ? *s.lengthBytes : uint32_t(s.points.size() * (s.sixteenBit ? 2 : 1));
}

void writeInstrument(Out& o, const XmInstrument& ins) {
    Out h;
    h.u32(ins.headerSize);
    h.text("instrument", 22);
    h.u8(0);
    h.u16(uint16_t(ins.samples.size()));
    h.u32(40);
    for (uint8_t k : ins.keymap) h.u8(k);
    writeEnvelopePoints(h, ins.volume);
    writeEnvelopePoints(h, ins.panning);
    h.u8(envelopeCount(ins.volume));
    h.u8(envelopeCount(ins.panning));
    h.u8(ins.volume.sustain);
    h.u8(ins.volume.loopStart);
    h.u8(ins.volume.loopEnd);
    h.u8(ins.panning.sustain);
    h.u8(ins.panning.loopStart);
    h.u8(ins.panning.loopEnd);
    h.u8(ins.volume.type);
    h.u8(ins.panning.type);
    h.u8(ins.vibratoType);
    h.u8(ins.vibratoSweep);
    h.u8(ins.vibratoDepth);
    h.u8(ins.vibratoRate);
    h.u16(ins.fadeout);
    h.bytes.resize(263, 0);
    uint32_t effective = ins.headerSize >= 1 && ins.headerSize <= 263 ? ins.headerSize : 263;
    o.bytes.insert(o.bytes.end(), h.bytes.begin(), h.bytes.begin() + effective);

    for (const XmSample& s : ins.samples) {
        o.u32(sampleBytes(s));
        o.u32(s.loopStart);
        o.u32(s.loopLength);
        o.u8(s.volume);
        o.u8(uint8_t(s.finetune));
        o.u8(uint8_t(s.type | (s.sixteenBit ? 0x10 : 0)));
        o.u8(s.panning);
        o.u8(uint8_t(s.relativeNote));
        o.u8(0);
        o.text("sample", 22);
    }
    for (const XmSample& s : ins.samples) {
        int16_t previous = 0;
        for (int16_t v : s.points) {
            auto delta = uint16_t(v - previous);
            previous = v;
            if (s.sixteenBit)
                o.u16(delta);
            else
                o.u8(uint8_t(delta));
        }
    }
}

} // namespace

size_t XmSong::addPattern(uint16_t rows) {
    patterns.push_back({rows, std::vector<PatternCell>(size_t(rows) * channels), std::nullopt});
    return patterns.size() - 1;
}

PatternCell& XmSong::cell(size_t pattern, uint16_t row, uint16_t channel) {
    return patterns[pattern].cells[size_t(row) * channels + channel];
}

std::vector<uint8_t> writeXm(const XmSong& song) {
    Out o;
    o.text("Extended Module: ", 17);
    o.text("test", 20);
    o.u8(0x1A);
    o.text("xm_writer", 20);
    o.u16(0x0104);
    o.u32(276);
    o.u16(song.songLength ? *song.songLength : uint16_t(song.order.size()));
    o.u16(song.restart);
    o.u16(song.channels);
    o.u16(uint16_t(song.patterns.size()));
    o.u16(uint16_t(song.instruments.size()));
    o.u16(song.linear ? 1 : 0);
    o.u16(song.speed);
    o.u16(song.tempo);
    for (size_t i = 0; i < 256; ++i) o.u8(i < song.order.size() ? song.order[i] : 0);

    for (const XmPattern& p : song.patterns) {
        std::vector<uint8_t> packed = p.packed ? *p.packed : packCells(p.cells);
        o.u32(9);
        o.u8(0);
        o.u16(p.rows);
        o.u16(uint16_t(packed.size()));
        o.bytes.insert(o.bytes.end(), packed.begin(), packed.end());
    }
    for (const XmInstrument& ins : song.instruments) writeInstrument(o, ins);
    return o.bytes;
}

XmInstrument makeInstrument(std::vector<int16_t> points, uint8_t loopType, uint32_t loopStart,
                            uint32_t loopLength) {
    XmInstrument ins;
    XmSample s;
    s.points = std::move(points);
    s.type = loopType;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    ins.samples.push_back(s);
    return ins;
}

XmSong makeSong(uint16_t rows, uint16_t channels, uint16_t speed) {
    XmSong song;
    song.channels = channels;
    song.speed = speed;
    song.addPattern(rows);
    song.instruments.push_back(makeInstrument(std::vector<int16_t>(1000, 64), 1, 0, 1000));
    return song;
}

PlayerPtr loadPlayer(const std::vector<uint8_t>& bytes, uint32_t rate) {
    ModulePlayer* p = nullptr;
    createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, rate);
    return PlayerPtr(p);
}

void runTicks(ModulePlayer* player, int ticks) {
    for (int i = 0; i < ticks; ++i) advanceTick(player);
}
