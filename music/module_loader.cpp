// XM 1.04 loading: validation, measurement and parsing into the player's single block.
// measureModule and parseModule share one walk over the file (layoutSong), so the block size and the
// layout the parser fills can never disagree.
#include "music/module_player.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace music {

namespace {

constexpr uint32_t kMinimumModuleSize = 60;
constexpr uint32_t kMaxChannels = 255;
constexpr uint32_t kClampedInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr uint16_t kDefaultTempo = 125;
// Playback positions are floats, which address 2^24 points exactly; longer samples are cut there.
constexpr uint32_t kMaxSamplePoints = 1u << 24;

// Every read is bounded by the data: bytes at or beyond the end read as 0, one by one, so a truncated
// module behaves as if padded with zeros.
struct ModuleBytes {
    const uint8_t* data;
    uint32_t size;

    uint8_t u8(uint64_t offset) const { return offset < size ? data[offset] : 0; }
    uint16_t u16(uint64_t offset) const { return uint16_t(u8(offset) | u8(offset + 1) << 8); }
    uint32_t u32(uint64_t offset) const { return u16(offset) | uint32_t(u16(offset + 2)) << 16; }
};

// An instrument header is read only up to its effective size; fields behind it read as 0.
struct InstrumentHeader {
    ModuleBytes bytes;
    uint64_t start;
    uint32_t size;

    uint8_t u8(uint32_t offset) const { return offset < size ? bytes.u8(start + offset) : 0; }
    uint16_t u16(uint32_t offset) const { return uint16_t(u8(offset) | u8(offset + 1) << 8); }
};

uint64_t alignUp(uint64_t n) {
    return (n + 7) & ~uint64_t(7);
}

// Hands out consecutive 8-byte aligned regions. Without a base it only counts, which is how the
// module is measured; it keeps the largest region asked for, to name it when the block is too large.
struct BlockCursor {
    uint8_t* base;
    uint64_t used;
    ModuleClaim largest;

    template <class T> T* take(uint64_t count, ModuleClaim what) {
        what.bytes = sizeof(T) * count;
        if (what.bytes > largest.bytes) largest = what;
        uint64_t offset = used;
        used = alignUp(used + sizeof(T) * count);
        return base ? reinterpret_cast<T*>(base + offset) : nullptr;
    }
};

struct SongHeader {
    uint32_t headerSize;
    uint16_t songLength;
    uint16_t restartPosition;
    uint16_t channelCount;
    uint16_t patternCount;
    uint16_t instrumentCount;
    uint32_t frequencyMode;
    uint16_t speed;
    uint16_t tempo;
};

SongHeader readSongHeader(const ModuleBytes& m) {
    SongHeader h{};
    h.headerSize = m.u32(60);
    // The row-visit table has songLength x 256 entries and the order table 256; a length outside 1..256
    // or a restart position outside the song would index past them.
    h.songLength = std::clamp<uint16_t>(m.u16(64), 1, 256);
    h.restartPosition = m.u8(66);
    if (h.restartPosition >= h.songLength) h.restartPosition = 0;
    h.channelCount = m.u16(68);
    h.patternCount = m.u16(70);
    h.instrumentCount = m.u16(72);
    h.frequencyMode = (m.size >= 75 && (m.u8(74) & 1)) ? FrequencyLinear : FrequencyAmiga;
    h.speed = m.u16(76);
    // Tempo 0 would make every tick infinitely long; such files mean the tracker's default.
    h.tempo = m.u16(78) ? m.u16(78) : kDefaultTempo;
    return h;
}

// Fills cellCount cells from the packed stream; a byte with bit 7 set is a mask of the fields that
// follow, any other byte starts a full five-byte cell.
void unpackPattern(const ModuleBytes& m, uint64_t packedStart, uint16_t packedSize, PatternCell* cells,
                   uint64_t cellCount) {
    uint16_t cursor = 0;
    for (uint64_t cell = 0; cell < cellCount && cursor < packedSize; ++cell) {
        uint8_t fields[5] = {};
        uint8_t lead = m.u8(packedStart + cursor);
        if (lead & 0x80) {
            ++cursor;
            for (int bit = 0; bit < 5; ++bit)
                if (lead & (1 << bit)) fields[bit] = m.u8(packedStart + cursor++);
        } else {
            for (int i = 0; i < 5; ++i) fields[i] = m.u8(packedStart + cursor++);
        }
        std::memcpy(&cells[cell], fields, sizeof(PatternCell));
    }
}

void readEnvelope(const InstrumentHeader& h, Envelope& e, uint32_t pointsAt, uint32_t countAt,
                  uint32_t sustainAt, uint32_t typeAt) {
    e.pointCount = std::min<uint8_t>(h.u8(countAt), 12);
    for (uint32_t k = 0; k < e.pointCount; ++k) {
        e.points[k].x = h.u16(pointsAt + 4 * k);
        e.points[k].y = h.u16(pointsAt + 4 * k + 2);
    }
    e.sustainPoint = h.u8(sustainAt);
    e.loopStartPoint = h.u8(sustainAt + 1);
    e.loopEndPoint = h.u8(sustainAt + 2);
    if (e.pointCount > 0) {
        e.loopStartPoint = std::min<uint8_t>(e.loopStartPoint, e.pointCount - 1);
        e.loopEndPoint = std::min<uint8_t>(e.loopEndPoint, e.pointCount - 1);
    }
    uint8_t type = h.u8(typeAt);
    e.enabled = type & 1;
    e.sustainEnabled = (type >> 1) & 1;
    e.loopEnabled = (type >> 2) & 1;
}

void readInstrumentHeader(const InstrumentHeader& h, Instrument& ins) {
    uint32_t keymapBytes = h.size > 33 ? std::min<uint32_t>(h.size - 33, 96) : 0;
    for (uint32_t k = 0; k < keymapBytes; ++k) ins.keymap[k] = h.u8(33 + k);
    readEnvelope(h, ins.volumeEnvelope, 129, 225, 227, 233);
    readEnvelope(h, ins.panningEnvelope, 177, 226, 230, 234);
    // XM numbers its auto-vibrato waveforms sine, square, ramp down; the oscillator's numbering has
    // ramp down and square the other way round.
    uint8_t waveform = h.u8(235);
    ins.autoVibratoWaveform = waveform == 1 ? 2 : waveform == 2 ? 1 : waveform;
    ins.autoVibratoSweep = h.u8(236);
    ins.autoVibratoDepth = h.u8(237);
    ins.autoVibratoRate = h.u8(238);
    ins.fadeout = h.u16(239);
}

struct SampleHeader {
    uint32_t lengthBytes;
    uint32_t loopStart;
    uint32_t loopLength;
    uint8_t volume;
    int8_t finetune;
    uint8_t type;
    uint8_t panning;
    int8_t relativeNote;
};

SampleHeader readSampleHeader(const ModuleBytes& m, uint64_t at) {
    return {m.u32(at),     m.u32(at + 4), m.u32(at + 8),        m.u8(at + 12), int8_t(m.u8(at + 13)),
            m.u8(at + 14), m.u8(at + 15), int8_t(m.u8(at + 16))};
}

void fillSample(const SampleHeader& sh, Sample& s) {
    uint32_t loopStart = sh.loopStart;
    uint32_t loopEnd = uint32_t(std::min<uint64_t>(uint64_t(loopStart) + sh.loopLength, UINT32_MAX));
    loopStart = std::min(loopStart, sh.lengthBytes);
    loopEnd = std::min(loopEnd, sh.lengthBytes);
    s.bits = (sh.type & 0x10) ? 16 : 8;
    int shift = s.bits == 16 ? 1 : 0;
    s.length = std::min(sh.lengthBytes >> shift, kMaxSamplePoints);
    s.loopStart = std::min(loopStart >> shift, kMaxSamplePoints);
    s.loopEnd = std::min(loopEnd >> shift, kMaxSamplePoints);
    s.loopLength = s.loopEnd - s.loopStart;
    uint8_t loopBits = sh.type & 3;
    // Decided on point counts, after halving: a 16-bit loop of one byte would otherwise be a loop of
    // length 0 that the mixer could never leave.
    s.loopType = s.loopStart == s.loopEnd ? LoopNone
                 : loopBits == 0          ? LoopNone
                 : loopBits == 1          ? LoopForward
                                          : LoopPingPong;
    s.volume = sh.volume / 64.0f;
    s.finetune = sh.finetune;
    s.panning = sh.panning / 255.0f;
    s.relativeNote = sh.relativeNote;
}

// Sample data is stored as deltas; the running sum (wrapping) is the sample value.
void decodeSample(const ModuleBytes& m, uint64_t at, Sample& s) {
    if (s.bits == 8) {
        auto* out = static_cast<int8_t*>(s.data);
        uint8_t sum = 0;
        uint64_t present = at < m.size ? std::min<uint64_t>(s.length, m.size - at) : 0;
        for (uint64_t i = 0; i < present; ++i) out[i] = int8_t(sum += m.data[at + i]);
        std::memset(out + present, sum, s.length - present);
    } else {
        auto* out = static_cast<int16_t*>(s.data);
        uint16_t sum = 0;
        for (uint32_t i = 0; i < s.length; ++i) out[i] = int16_t(sum += m.u16(at + 2 * uint64_t(i)));
    }
}

// Lays out (and, with a block base, fills) the pattern, instrument, cell and sample regions.
void layoutSong(const ModuleBytes& m, const SongHeader& h, BlockCursor& block, ModulePlayer* player) {
    Pattern* patterns = block.take<Pattern>(h.patternCount, {0, PartPatternTable, 0, 0});
    Instrument* instruments = block.take<Instrument>(h.instrumentCount, {0, PartInstrumentTable, 0, 0});
    if (player) {
        player->patterns = patterns;
        player->instruments = instruments;
    }

    uint64_t at = 60 + uint64_t(h.headerSize);
    for (uint32_t p = 0; p < h.patternCount; ++p) {
        uint32_t headerLength = m.u32(at);
        uint16_t rows = m.u16(at + 5);
        uint16_t packedSize = m.u16(at + 7);
        uint64_t cellCount = uint64_t(rows) * h.channelCount;
        PatternCell* cells = block.take<PatternCell>(cellCount, {0, PartPatternCells, 0, p});
        if (player) {
            patterns[p].rowCount = rows;
            patterns[p].cells = cells;
            unpackPattern(m, at + headerLength, packedSize, cells, cellCount);
        }
        at += uint64_t(headerLength) + packedSize;
    }

    for (uint32_t i = 0; i < h.instrumentCount; ++i) {
        uint32_t declared = m.u32(at);
        InstrumentHeader ih{m, at,
                            declared >= 1 && declared <= kClampedInstrumentHeaderSize
                                ? declared
                                : kClampedInstrumentHeaderSize};
        uint16_t sampleCount = ih.u16(27);
        at += ih.size;
        if (sampleCount == 0) continue;

        Sample* samples = block.take<Sample>(sampleCount, {0, PartSampleTable, i + 1, 0});
        if (player) {
            instruments[i].sampleCount = sampleCount;
            instruments[i].samples = samples;
            readInstrumentHeader(ih, instruments[i]);
        }
        uint64_t dataAt = at + uint64_t(kSampleHeaderSize) * sampleCount;
        for (uint32_t s = 0; s < sampleCount; ++s) {
            SampleHeader sh = readSampleHeader(m, at + uint64_t(kSampleHeaderSize) * s);
            uint8_t* data = block.take<uint8_t>(sh.lengthBytes, {0, PartSampleData, i + 1, s});
            if (player) {
                fillSample(sh, samples[s]);
                samples[s].data = data;
                decodeSample(m, dataAt, samples[s]);
            }
            dataAt += sh.lengthBytes;
        }
        at = dataAt;
    }
}

uint64_t headerRegionSize() {
    return alignUp(sizeof(ModulePlayer));
}
uint64_t channelRegionSize(const SongHeader& h) {
    return alignUp(sizeof(PlayerChannel) * h.channelCount);
}

} // namespace

int validateModule(const uint8_t* data, uint32_t size) {
    static const char kSignature[] = "Extended Module: ";
    if (size < kMinimumModuleSize) return ModuleTooShort;
    if (std::memcmp(data, kSignature, 17) != 0) return ModuleWrongSignature;
    if (data[37] != 0x1A) return ModuleMissingEof;
    if (data[59] != 1 || data[58] != 4) return ModuleWrongVersion;
    if (ModuleBytes{data, size}.u16(68) > kMaxChannels) return ModuleTooManyChannels;
    return ModuleValid;
}

const char* describeModuleCheck(int check) {
    switch (check) {
    case ModuleValid:
        return "valid";
    case ModuleWrongSignature:
        return "wrong signature (not \"Extended Module: \")";
    case ModuleMissingEof:
        return "missing 0x1A at byte 37";
    case ModuleWrongVersion:
        return "version not 1.04";
    case ModuleTooShort:
        return "too short (under 60 bytes)";
    case ModuleTooManyChannels:
        return "more than 255 channels";
    default:
        return "unknown check";
    }
}

uint64_t measureModule(const uint8_t* data, uint32_t size) {
    ModuleBytes m{data, size};
    SongHeader h = readSongHeader(m);
    BlockCursor block{nullptr, 0, {}};
    layoutSong(m, h, block, nullptr);
    return headerRegionSize() + block.used + channelRegionSize(h) + 256 * uint64_t(h.songLength);
}

ModuleClaim largestModuleClaim(const uint8_t* data, uint32_t size) {
    ModuleBytes m{data, size};
    BlockCursor block{nullptr, 0, {}};
    layoutSong(m, readSongHeader(m), block, nullptr);
    return block.largest;
}

uint8_t* parseModule(ModulePlayer* player, const uint8_t* data, uint32_t size, uint8_t* regionStart) {
    ModuleBytes m{data, size};
    SongHeader h = readSongHeader(m);
    player->songLength = h.songLength;
    player->restartPosition = h.restartPosition;
    player->channelCount = h.channelCount;
    player->patternCount = h.patternCount;
    player->instrumentCount = h.instrumentCount;
    player->frequencyMode = h.frequencyMode;
    player->speed = h.speed;
    player->tempo = h.tempo;
    uint32_t orderBytes = size > 80 ? std::min<uint32_t>(size - 80, 256) : 0;
    if (orderBytes) std::memcpy(player->orderTable, data + 80, orderBytes);
    BlockCursor block{regionStart, 0, {}};
    layoutSong(m, h, block, player);
    return regionStart + block.used;
}

int createModulePlayer(const uint8_t* data, uint32_t size, ModulePlayer** out, uint32_t outputRate) {
    *out = nullptr;
    if (validateModule(data, size) != ModuleValid || outputRate == 0) return CreateInvalidModule;
    uint64_t blockSize = measureModule(data, size);
    if (blockSize > kMaxPlayerBlockSize) return CreateOutOfMemory;
    auto* base = static_cast<uint8_t*>(std::calloc(1, blockSize));
    if (!base) return CreateOutOfMemory;

    auto* player = reinterpret_cast<ModulePlayer*>(base);
    player->blockSize = blockSize;
    player->outputRate = outputRate;
    uint8_t* channelStart = parseModule(player, data, size, base + headerRegionSize());
    player->channels = reinterpret_cast<PlayerChannel*>(channelStart);
    player->visitTable = channelStart + alignUp(sizeof(PlayerChannel) * player->channelCount);
    player->globalVolume = 1.0f;
    player->amplification = 0.25f;
    player->rampStep = 1.0f / 128.0f;
    for (uint32_t i = 0; i < player->channelCount; ++i) {
        PlayerChannel& c = player->channels[i];
        c.forward = 1;
        c.vibratoRetrigger = 1;
        c.tremoloRetrigger = 1;
        c.volume = 1.0f;
        c.fadeoutVolume = 1.0f;
        c.envelopeVolume = 1.0f;
        c.envelopePanning = 0.5f;
        c.panning = 0.5f;
    }
    *out = player;
    return CreateOk;
}

void setLoopLimit(ModulePlayer* player, uint8_t limit) {
    player->loopLimit = limit;
}

void freeModulePlayer(ModulePlayer* player) {
    std::free(player);
}

} // namespace music
