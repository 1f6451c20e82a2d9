// A mutator that knows the module layout: most mutations change one meaningful field (a pattern cell,
// the frequency table, speed and tempo, a sample's loop, width and tuning, an instrument's vibrato) and
// leave a well-formed module well-formed, so the player's deeper code sees many combinations of song
// features instead of inputs its loader rejects early. The rest are libFuzzer's own byte mutations,
// which keep the loader's handling of damaged files under test.
#include "music/xm_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

using namespace music;

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

uint16_t read16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t read32(const uint8_t* p) {
    return uint32_t(read16(p)) | uint32_t(read16(p + 2)) << 16;
}

constexpr size_t kFlagsOffset = 74, kSpeedOffset = 76, kTempoOffset = 78;
constexpr size_t kInstrumentVibratoOffset = 235; // type, sweep, depth, rate in the instrument header
constexpr size_t kSampleHeaderSize = 40;
constexpr size_t kMaxCells = 256 * 32;

struct PatternSpan {
    size_t header; // start of the pattern header
    size_t data;   // start of the packed cells
    uint16_t rows;
    uint16_t packedSize;
};

// Where the fields lie in one input; only what lies wholly inside the input is listed.
struct Layout {
    uint16_t channels = 0;
    std::vector<PatternSpan> patterns;
    std::vector<size_t> instrumentVibrato; // offsets of the four vibrato bytes
    std::vector<size_t> sampleHeaders;
};

bool readLayout(const uint8_t* data, size_t size, Layout& layout) {
    if (size < 80 || std::memcmp(data, "Extended Module: ", 17) != 0) return false;
    layout.channels = read16(data + 68);
    const uint16_t patterns = read16(data + 70), instruments = read16(data + 72);
    size_t at = 60 + size_t(read32(data + 60));
    for (uint16_t p = 0; p < patterns; ++p) {
        if (at + 9 > size) return true;
        const uint32_t headerLength = read32(data + at);
        PatternSpan span{at, at + headerLength, read16(data + at + 5), read16(data + at + 7)};
        if (headerLength < 9 || span.data + span.packedSize > size) return true;
        layout.patterns.push_back(span);
        at = span.data + span.packedSize;
    }
    for (uint16_t i = 0; i < instruments; ++i) {
        if (at + 29 > size) return true;
        const uint32_t headerLength = read32(data + at);
        const uint16_t samples = read16(data + at + 27);
        if (headerLength >= kInstrumentVibratoOffset + 4 && at + kInstrumentVibratoOffset + 4 <= size)
            layout.instrumentVibrato.push_back(at + kInstrumentVibratoOffset);
        at += headerLength == 0 ? 263 : headerLength;
        uint64_t sampleData = 0;
        for (uint16_t s = 0; s < samples; ++s, at += kSampleHeaderSize) {
            if (at + kSampleHeaderSize > size) return true;
            layout.sampleHeaders.push_back(at);
            sampleData += read32(data + at);
        }
        if (sampleData > size) return true;
        at += size_t(sampleData);
    }
    return true;
}

// The cells of a packed pattern, read the way the player reads them.
XmPattern unpack(const uint8_t* packed, const PatternSpan& span, uint16_t channels) {
    XmPattern pattern(span.rows, channels);
    size_t at = 0;
    for (XmCell& c : pattern.cells) {
        if (at >= span.packedSize) break;
        uint8_t* fields[5] = {&c.note, &c.instrument, &c.volume, &c.effect, &c.param};
        const uint8_t first = packed[at];
        const uint8_t mask = first & 0x80 ? first & 0x1F : 0x1F;
        if (first & 0x80) ++at;
        for (int i = 0; i < 5; ++i) {
            if ((mask & (1 << i)) && at < span.packedSize) *fields[i] = packed[at++];
        }
    }
    return pattern;
}

// A value for a field of a cell: mostly the kinds of values songs use, sometimes any byte.
uint8_t cellValue(std::minstd_rand& random, int field) {
    auto pick = [&](uint32_t bound) { return uint8_t(random() % bound); };
    switch (field) {
    case 0:
        return uint8_t(1 + pick(97)); // note or key off
    case 1:
        return uint8_t(1 + pick(8));
    case 2:
        return pick(4) ? uint8_t(0x10 + pick(0xF0)) : 0;
    case 3:
        return pick(0x24);
    default: {
        static constexpr uint8_t kEdges[] = {0x00, 0x01, 0x0F, 0x10, 0x80, 0xF0, 0xFF};
        return pick(3) ? pick(256) : kEdges[pick(std::size(kEdges))];
    }
    }
}

// Rewrites one cell of one pattern, packing the pattern again; false when the result would not fit.
bool mutateCell(uint8_t* data, size_t& size, size_t maxSize, const Layout& layout, std::minstd_rand& random) {
    const PatternSpan& span = layout.patterns[random() % layout.patterns.size()];
    if (layout.channels == 0 || size_t(span.rows) * layout.channels > kMaxCells || span.rows == 0)
        return false;
    XmPattern pattern = unpack(data + span.data, span, layout.channels);
    XmCell& c = pattern.cells[random() % pattern.cells.size()];
    uint8_t* fields[5] = {&c.note, &c.instrument, &c.volume, &c.effect, &c.param};
    const int field = int(random() % 5);
    *fields[field] = random() % 8 ? cellValue(random, field) : 0;
    const std::vector<uint8_t> packed = packPattern(pattern);
    if (packed.size() > 0xFFFF || size - span.packedSize + packed.size() > maxSize) return false;
    // A pattern that ends the file leaves an empty tail, whose data() may be null: copy ranges, not bytes.
    const std::vector<uint8_t> tail(data + span.data + span.packedSize, data + size);
    std::copy(packed.begin(), packed.end(), data + span.data);
    std::copy(tail.begin(), tail.end(), data + span.data + packed.size());
    data[span.header + 7] = uint8_t(packed.size());
    data[span.header + 8] = uint8_t(packed.size() >> 8);
    size = size - span.packedSize + packed.size();
    return true;
}

void write32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A sample's loop type and width, loop bounds or tuning.
void mutateSample(uint8_t* header, std::minstd_rand& random) {
    const uint32_t length = read32(header);
    switch (random() % 4) {
    case 0:
        header[14] = uint8_t((header[14] & 0x10) | random() % 4);
        break;
    case 1:
        header[14] ^= 0x10;
        break;
    case 2: {
        const uint32_t start = length ? uint32_t(random() % length) : 0;
        write32(header + 4, start);
        write32(header + 8, length > start ? 1 + uint32_t(random() % (length - start)) : 0);
        break;
    }
    default:
        header[13 + 3 * (random() % 2)] = uint8_t(random()); // finetune or relative note
    }
}

} // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    std::minstd_rand random(seed);
    Layout layout;
    if (random() % 3 == 0 || !readLayout(data, size, layout)) return LLVMFuzzerMutate(data, size, maxSize);
    switch (random() % 8) {
    case 0:
        data[kFlagsOffset] ^= 1;
        return size;
    case 1:
        if (random() % 2)
            data[kSpeedOffset] = uint8_t(random() % 32);
        else
            data[kTempoOffset] = uint8_t(32 + random() % 224);
        return size;
    case 2:
        if (!layout.sampleHeaders.empty()) {
            mutateSample(data + layout.sampleHeaders[random() % layout.sampleHeaders.size()], random);
            return size;
        }
        break;
    case 3:
        if (!layout.instrumentVibrato.empty()) {
            data[layout.instrumentVibrato[random() % layout.instrumentVibrato.size()] + random() % 4] =
                uint8_t(random());
            return size;
        }
        break;
    default:
        if (!layout.patterns.empty() && mutateCell(data, size, maxSize, layout, random)) return size;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
