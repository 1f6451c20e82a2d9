#include "tests/generators/xm_reader.h"

#include <stdexcept>

namespace xmtest {
namespace {

struct Cursor {
    const std::vector<uint8_t>& b;
    size_t at;
    void need(size_t n) const {
        if (at + n > b.size()) throw std::runtime_error("module truncated at byte " + std::to_string(at));
    }
    uint8_t u8() {
        need(1);
        return b[at++];
    }
    uint16_t u16() {
        uint16_t lo = u8();
        return uint16_t(lo | (u8() << 8));
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
};

} // namespace

Module readModule(std::vector<uint8_t> bytes) {
    Module m;
    m.bytes = std::move(bytes);
    Cursor c{m.bytes, 0};
    c.need(80);
    if (std::string(m.bytes.begin(), m.bytes.begin() + 17) != "Extended Module: ")
        throw std::runtime_error("bad signature");
    if (m.bytes[37] != 0x1A || m.bytes[58] != 0x04 || m.bytes[59] != 0x01)
        throw std::runtime_error("bad version");
    c.at = 60;
    m.headerSize = c.u32();
    m.songLength = c.u16();
    m.restart = c.u16();
    m.channels = c.u16();
    m.patternCount = c.u16();
    m.instrumentCount = c.u16();
    m.flags = c.u16();
    m.speed = c.u16();
    m.tempo = c.u16();
    for (auto& o : m.order) o = c.u8();
    c.at = 60 + m.headerSize;
    for (unsigned p = 0; p < m.patternCount; ++p) {
        size_t start = c.at;
        uint32_t headerLength = c.u32();
        c.u8();
        Pattern pattern;
        pattern.rows = c.u16();
        uint16_t packed = c.u16();
        c.at = start + headerLength;
        c.need(packed);
        size_t end = c.at + packed;
        while (c.at < end) {
            uint8_t first = c.u8();
            uint8_t f[5] = {};
            if (first & 0x80) {
                for (int i = 0; i < 5; ++i) f[i] = (first >> i) & 1 ? c.u8() : 0;
            } else {
                f[0] = first;
                for (int i = 1; i < 5; ++i) f[i] = c.u8();
            }
            pattern.cells.push_back({f[0], f[1], f[2], f[3], f[4]});
        }
        if (c.at != end || pattern.cells.size() != size_t(pattern.rows) * m.channels)
            throw std::runtime_error("pattern " + std::to_string(p) + " does not fill rows x channels cells");
        m.patterns.push_back(std::move(pattern));
    }
    for (unsigned i = 0; i < m.instrumentCount; ++i) {
        size_t start = c.at;
        Instrument ins;
        ins.headerSize = c.u32();
        c.at = start + 27;
        ins.sampleCount = c.u16();
        c.at = start + 129;
        for (int k = 0; k < 12; ++k) {
            ins.volumeTicks[k] = c.u16();
            ins.volumeValues[k] = c.u16();
        }
        c.at = start + 225;
        ins.volumePoints = c.u8();
        c.at = start + 227;
        ins.volumeSustain = c.u8();
        c.at = start + 233;
        ins.volumeType = c.u8();
        c.at = start + 239;
        ins.fadeout = c.u16();
        c.at = start + ins.headerSize;
        for (unsigned s = 0; s < ins.sampleCount; ++s) {
            size_t sampleStart = c.at;
            Sample smp;
            smp.length = c.u32();
            smp.loopStart = c.u32();
            smp.loopLength = c.u32();
            smp.volume = c.u8();
            smp.finetune = int8_t(c.u8());
            smp.type = c.u8();
            smp.panning = c.u8();
            smp.relativeNote = int8_t(c.u8());
            c.at = sampleStart + 40;
            ins.samples.push_back(smp);
        }
        for (Sample& smp : ins.samples) {
            c.need(smp.length);
            uint8_t value = 0;
            for (uint32_t k = 0; k < smp.length; ++k) {
                value = uint8_t(value + c.u8());
                smp.data.push_back(int8_t(value));
            }
        }
        m.instruments.push_back(std::move(ins));
    }
    if (c.at != m.bytes.size()) throw std::runtime_error("bytes left over behind the last instrument");
    return m;
}

std::vector<PlayedRow> playOnce(const Module& m) {
    std::vector<PlayedRow> played;
    std::vector<std::vector<bool>> visited(m.songLength, std::vector<bool>(256, false));
    unsigned position = 0, row = 0;
    while (position < m.songLength && !visited[position][row]) {
        visited[position][row] = true;
        unsigned pattern = m.order[position];
        played.push_back({position, pattern, row});
        int jump = -1, breakRow = -1;
        for (unsigned ch = 0; ch < m.channels; ++ch) {
            const Cell& c = m.cell(pattern, row, ch);
            if (c.effect == 0x0B) jump = c.param;
            if (c.effect == 0x0D) breakRow = (c.param >> 4) * 10 + (c.param & 15);
        }
        if (jump >= 0 || breakRow >= 0) {
            position = jump >= 0 ? unsigned(jump) : position + 1;
            row = breakRow >= 0 ? unsigned(breakRow) : 0;
        } else if (++row >= m.patterns.at(pattern).rows) {
            ++position;
            row = 0;
        }
        if (position >= m.songLength) position = m.restart;
    }
    return played;
}

} // namespace xmtest
