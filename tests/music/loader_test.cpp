// Loading: validation, header fields of truncated files, pattern unpacking, instrument and sample records.
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

using namespace music;

namespace {

XmModule oneInstrumentSong(XmInstrument ins) {
    XmModule song;
    song.addPattern(2);
    song.instruments.push_back(std::move(ins));
    return song;
}

// Parses into a block of exactly the measured size, as createModulePlayer does, and checks that the
// parser ends where the measurement said and leaves the channel records and visit table behind that zero.
struct ParsedBlock {
    std::vector<uint64_t> storage;
    ModulePlayer* player;

    // Reads the first `length` bytes of the buffer (all of it by default); what lies behind them must
    // read as 0.
    explicit ParsedBlock(const std::vector<uint8_t>& bytes, size_t length = SIZE_MAX) {
        const auto dataSize = uint32_t(std::min(length, bytes.size()));
        uint64_t size = measureModule(bytes.data(), dataSize);
        storage.assign((size + 7) / 8, 0);
        player = reinterpret_cast<ModulePlayer*>(storage.data());
        auto* base = reinterpret_cast<uint8_t*>(storage.data());
        uint8_t* regions = base + ((sizeof(ModulePlayer) + 7) & ~size_t(7));
        uint8_t* end = parseModule(player, bytes.data(), dataSize, regions);
        uint64_t tail =
            ((sizeof(PlayerChannel) * player->channelCount + 7) & ~uint64_t(7)) + 256u * player->songLength;
        EXPECT_EQ(uint64_t(end - base) + tail, size);
        EXPECT_TRUE(std::all_of(end, base + size, [](uint8_t b) { return b == 0; }));
    }
};

std::vector<uint8_t> validHeader() {
    XmModule song;
    song.addPattern(1);
    return writeXm(song);
}

TEST(LoaderValidation, ChecksInOrder) {
    std::vector<uint8_t> bytes = validHeader();
    EXPECT_EQ(validateModule(bytes.data(), uint32_t(bytes.size())), ModuleValid);
    EXPECT_EQ(validateModule(bytes.data(), 59), ModuleTooShort);
    EXPECT_EQ(validateModule(bytes.data(), 60), ModuleValid);

    std::vector<uint8_t> noBlank = bytes;
    noBlank[16] = 'X'; // "Extended Module:" followed by something other than a blank
    EXPECT_EQ(validateModule(noBlank.data(), uint32_t(noBlank.size())), ModuleWrongSignature);

    std::vector<uint8_t> noEof = bytes;
    noEof[37] = 0x1B;
    EXPECT_EQ(validateModule(noEof.data(), uint32_t(noEof.size())), ModuleMissingEof);

    std::vector<uint8_t> version = bytes;
    version[58] = 0x05;
    version[59] = 0x01;
    EXPECT_EQ(validateModule(version.data(), uint32_t(version.size())), ModuleWrongVersion);

    std::vector<uint8_t> channels = bytes;
    channels[68] = 0x00;
    channels[69] = 0x01; // 256 channels
    EXPECT_EQ(validateModule(channels.data(), uint32_t(channels.size())), ModuleTooManyChannels);
    channels[68] = 0xFF;
    channels[69] = 0x00;
    EXPECT_EQ(validateModule(channels.data(), uint32_t(channels.size())), ModuleValid);
}

TEST(LoaderValidation, CreationReportsInvalidModulesWithoutAllocating) {
    std::vector<uint8_t> bytes = validHeader();
    bytes[37] = 0;
    ModulePlayer* p = reinterpret_cast<ModulePlayer*>(&bytes); // must be overwritten with null
    EXPECT_EQ(createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, 44100), CreateInvalidModule);
    EXPECT_EQ(p, nullptr);
    bytes[37] = 0x1A;
    EXPECT_EQ(createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, 0), CreateInvalidModule);
    ASSERT_EQ(createModulePlayer(bytes.data(), uint32_t(bytes.size()), &p, 44100), CreateOk);
    EXPECT_EQ(p->blockSize, measureModule(bytes.data(), uint32_t(bytes.size())));
    freeModulePlayer(p);
}

TEST(LoaderHeader, ReadsFieldsOfAHeaderCutShort) {
    XmModule song;
    song.channels = 0x0203; // only the low byte survives the cut below
    song.order = {0, 1, 2};
    song.restartPosition = 1;
    song.speed = 3;
    song.tempo = 173;
    // Each cut reads the first bytes of the whole file: the file's bytes behind the cut read as 0.
    const std::vector<uint8_t> bytes = writeXm(song);

    ParsedBlock cut69(bytes, 69);
    EXPECT_EQ(cut69.player->songLength, 3);
    EXPECT_EQ(cut69.player->restartPosition, 1);
    EXPECT_EQ(cut69.player->channelCount, 3);
    EXPECT_EQ(cut69.player->frequencyMode, FrequencyAmiga); // flags byte missing
    EXPECT_EQ(cut69.player->speed, 0);

    ParsedBlock cut75(bytes, 75);
    EXPECT_EQ(cut75.player->frequencyMode, FrequencyLinear);

    ParsedBlock cut82(bytes, 82);
    EXPECT_EQ(cut82.player->speed, 3);
    EXPECT_EQ(cut82.player->tempo, 173);
    EXPECT_EQ(cut82.player->orderTable[1], 1);
    EXPECT_EQ(cut82.player->orderTable[2], 0); // beyond the data
}

TEST(LoaderHeader, SongLengthRestartAndTempoStayUsable) {
    XmModule song;
    song.addPattern(1);
    song.storedSongLength = 0;
    song.restartPosition = 0x0105; // only the low byte counts, and 5 is beyond the song
    song.tempo = 0;
    auto p = loadPlayer(writeXm(song));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->songLength, 1);
    EXPECT_EQ(p->restartPosition, 0);
    EXPECT_EQ(p->tempo, 125);

    song.storedSongLength = 300;
    song.restartPosition = 0x0105;
    p = loadPlayer(writeXm(song));
    EXPECT_EQ(p->songLength, 256);
    EXPECT_EQ(p->restartPosition, 5);

    // The last position of a song of 3 is 2; position 3 already lies beyond it.
    song.storedSongLength = 3;
    for (auto [stored, kept] : {std::pair{2, 2}, {3, 0}}) {
        song.restartPosition = uint16_t(stored);
        p = loadPlayer(writeXm(song));
        EXPECT_EQ(p->restartPosition, kept) << "restart position " << stored;
    }
}

// The loader bounds fields that could index past the data or the block: a value inside its range is kept
// as stored and only what lies outside is cut, whatever the memory behind the data holds.
TEST(LoaderClamps, ValuesInRangeStayAndOnlyOverflowsAreCut) {
    // The data ends after two order entries, inside a buffer that goes on with 0xEE: the other 254
    // entries read as 0.
    XmModule cut;
    cut.order = {1, 2, 0};
    cut.addPattern(1);
    std::vector<uint8_t> buffer = writeXm(cut);
    buffer.resize(82);
    buffer.resize(400, 0xEE);
    ModulePlayer* raw = nullptr;
    ASSERT_EQ(createModulePlayer(buffer.data(), 82, &raw), CreateOk);
    PlayerPtr p(raw);
    EXPECT_EQ(p->orderTable[0], 1);
    EXPECT_EQ(p->orderTable[1], 2);
    for (int k = 2; k < 256; ++k) ASSERT_EQ(p->orderTable[k], 0) << "order entry " << k;

    XmInstrument ins = makeInstrument({1});
    // Loop points inside the envelopes are kept, also where they are not the last point.
    ins.volumeEnvelope.points = {{0, 64}, {4, 32}, {8, 16}, {12, 0}};
    ins.volumeEnvelope.loopStart = 1;
    ins.volumeEnvelope.loopEnd = 2;
    ins.volumeEnvelope.type = XmEnvelopeOn | XmEnvelopeLoop;
    ins.panningEnvelope.points = {{0, 0}, {2, 64}, {4, 0}};
    ins.panningEnvelope.loopStart = 0;
    ins.panningEnvelope.loopEnd = 1;
    ins.panningEnvelope.type = XmEnvelopeOn | XmEnvelopeLoop;
    // A loop whose start plus length passes 2^32 ends at the sample's end, not at the wrapped sum (24).
    ins.samples[0].points = std::vector<int16_t>(100, 0);
    ins.samples[0].loop = XmLoop::Forward;
    ins.samples[0].loopStart = 40;
    ins.samples[0].loopLength = 0xFFFFFFF0u;
    p = loadPlayer(writeXm(oneInstrumentSong(ins)));
    ASSERT_TRUE(p);
    const Instrument& loaded = p->instruments[0];
    EXPECT_EQ(loaded.volumeEnvelope.loopStartPoint, 1);
    EXPECT_EQ(loaded.volumeEnvelope.loopEndPoint, 2);
    EXPECT_EQ(loaded.panningEnvelope.loopStartPoint, 0);
    EXPECT_EQ(loaded.panningEnvelope.loopEndPoint, 1);
    const Sample& s = loaded.samples[0];
    EXPECT_EQ(s.loopStart, 40u);
    EXPECT_EQ(s.loopEnd, 100u);
    EXPECT_EQ(s.loopLength, 60u);
    EXPECT_EQ(s.loopType, LoopForward);
}

TEST(LoaderPatterns, UnpacksMasksAndFullCells) {
    XmModule song;
    song.addPattern(2); // 2 channels x 2 rows
    // The first mask sets bits 5 and 6 only, which name no field: an empty cell of one byte.
    song.patterns[0].packed = std::vector<uint8_t>{0xE0, 0x9F, 1, 2, 3, 4, 5, 0x83, 49, 7};
    song.addPattern(1);
    song.patterns[1].packed =
        std::vector<uint8_t>{0x10, 1, 0x40, 0x0F, 0x20, 0x88, 0xCC, 0x61, 0, 0, 0, 0, 0x80};
    auto p = loadPlayer(writeXm(song));
    ASSERT_TRUE(p);
    const PatternCell* c = p->patterns[0].cells;
    EXPECT_EQ(std::vector<uint8_t>(&c[0].note, &c[0].note + 5), std::vector<uint8_t>(5, 0));
    EXPECT_EQ(std::vector<uint8_t>(&c[1].note, &c[1].note + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(std::vector<uint8_t>(&c[2].note, &c[2].note + 5), (std::vector<uint8_t>{49, 7, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(&c[3].note, &c[3].note + 5), std::vector<uint8_t>(5, 0)); // stream ended
    // A full cell starts with a byte below 0x80; a mask with only bit 3 carries just the effect. The
    // bytes after the pattern's last cell are not cells of anything, and the next pattern starts after
    // the declared packed size.
    const PatternCell* d = p->patterns[1].cells;
    EXPECT_EQ(std::vector<uint8_t>(&d[0].note, &d[0].note + 5),
              (std::vector<uint8_t>{0x10, 1, 0x40, 0x0F, 0x20}));
    EXPECT_EQ(std::vector<uint8_t>(&d[1].note, &d[1].note + 5), (std::vector<uint8_t>{0, 0, 0, 0xCC, 0}));
}

TEST(LoaderPatterns, PackedSizeZeroGivesEmptyRows) {
    XmModule song;
    song.addPattern(64);
    song.patterns[0].packed = std::vector<uint8_t>{};
    song.addPattern(1);
    song.cell(1, 0, 1) = {49, 1, 0, 0, 0};
    // A stream of nine full cells for a pattern of eight stops at its last cell: the empty pattern
    // right behind it in the block stays empty.
    song.addPattern(4);
    song.patterns[2].packed = std::vector<uint8_t>();
    for (int k = 0; k < 9; ++k)
        song.patterns[2].packed->insert(song.patterns[2].packed->end(), {49, 1, 0x40, 0, 0});
    song.addPattern(1);
    song.patterns[3].packed = std::vector<uint8_t>{};
    auto p = loadPlayer(writeXm(song));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->patterns[0].rowCount, 64);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(p->patterns[0].cells[i].note, 0);
    EXPECT_EQ(p->patterns[1].cells[1].note, 49);
    EXPECT_EQ(p->patterns[2].cells[7].note, 49);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(p->patterns[3].cells[i].note, 0) << "cell " << i;
}

TEST(LoaderInstruments, HeaderSizeZeroOrOversizedReadsAs263) {
    // Only 1..263 are sizes: a header of 1 byte ends before its sample count, so it has no samples. The
    // file ends with the 4-byte size field (declaring 1), a 40-byte sample header whose name has a 1 where
    // a longer header would hold the count, and 3 data bytes.
    XmInstrument tiny = makeInstrument({10, 20, 30});
    tiny.storedHeaderSize = 4;
    tiny.samples[0].name = std::string(5, ' ') + '\x01';
    std::vector<uint8_t> tinyBytes = writeXm(oneInstrumentSong(tiny));
    tinyBytes[tinyBytes.size() - 47] = 1;
    auto tinyPlayer = loadPlayer(tinyBytes);
    ASSERT_TRUE(tinyPlayer);
    EXPECT_EQ(tinyPlayer->instruments[0].sampleCount, 0);
    for (uint32_t declared : {0u, 300u, 263u}) {
        XmInstrument ins = makeInstrument({10, 20, 30});
        ins.storedHeaderSize = declared;
        ins.keymap[95] = 0;
        ins.vibratoDepth = 9;
        auto p = loadPlayer(writeXm(oneInstrumentSong(ins)));
        ASSERT_TRUE(p);
        const Instrument& loaded = p->instruments[0];
        EXPECT_EQ(loaded.sampleCount, 1) << declared;
        EXPECT_EQ(loaded.autoVibratoDepth, 9) << declared;
        EXPECT_EQ(loaded.samples[0].length, 3u) << declared;
        EXPECT_EQ(static_cast<const int8_t*>(loaded.samples[0].data)[2], 30) << declared;
    }
}

// A file that holds more instruments than its header counts: the ones beyond the count are not read, and
// the pattern cells behind the instrument records stay as stored.
TEST(LoaderInstruments, OnlyTheCountedInstrumentsAreRead) {
    XmModule song = oneInstrumentSong(makeInstrument({1}));
    song.instruments.push_back(makeInstrument({2, 3}));
    song.cell(0, 0, 0) = {kMiddleC, 1, 0x40, 0, 0};
    std::vector<uint8_t> bytes = writeXm(song);
    bytes[72] = 1; // the instrument count
    auto p = loadPlayer(bytes);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->instrumentCount, 1);
    const PatternCell& cell = p->patterns[0].cells[0];
    EXPECT_EQ(std::vector<uint8_t>(&cell.note, &cell.note + 5),
              (std::vector<uint8_t>{kMiddleC, 1, 0x40, 0, 0}));
}

TEST(LoaderInstruments, ShortHeaderReadsOnlyItsBytes) {
    XmInstrument ins = makeInstrument({5, 6});
    ins.storedHeaderSize = 40; // sample count inside, keymap cut after 7 entries, envelopes outside
    ins.keymap.fill(0);
    ins.keymap[6] = 1;
    ins.keymap[7] = 1;
    ins.volumeEnvelope.points = {{0, 64}, {4, 0}};
    ins.volumeEnvelope.type = 1;
    auto p = loadPlayer(writeXm(oneInstrumentSong(ins)));
    ASSERT_TRUE(p);
    const Instrument& loaded = p->instruments[0];
    EXPECT_EQ(loaded.keymap[6], 1);
    EXPECT_EQ(loaded.keymap[7], 0);
    EXPECT_EQ(loaded.volumeEnvelope.pointCount, 0);
    EXPECT_EQ(loaded.volumeEnvelope.enabled, 0);
    EXPECT_EQ(static_cast<const int8_t*>(loaded.samples[0].data)[1], 6);

    // A header that ends right before the point counts: the sample header behind it (its length's
    // first byte is 2) gives no count.
    ins.storedHeaderSize = 225;
    p = loadPlayer(writeXm(oneInstrumentSong(ins)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->instruments[0].keymap[7], 1);
    EXPECT_EQ(p->instruments[0].volumeEnvelope.pointCount, 0);
}

TEST(LoaderInstruments, NoSamplesMeansNothingElseIsRead) {
    XmInstrument ins;
    ins.keymap.fill(3);
    ins.volumeEnvelope.points = {{0, 64}, {10, 32}};
    ins.volumeEnvelope.type = 7;
    ins.vibratoDepth = 4;
    XmModule song = oneInstrumentSong(ins);
    song.instruments.push_back(makeInstrument({1, 2, 3, 4}));
    auto p = loadPlayer(writeXm(song));
    ASSERT_TRUE(p);
    const Instrument& empty = p->instruments[0];
    EXPECT_EQ(empty.samples, nullptr);
    EXPECT_EQ(empty.keymap[0], 0);
    EXPECT_EQ(empty.volumeEnvelope.pointCount, 0);
    EXPECT_EQ(empty.volumeEnvelope.enabled, 0);
    EXPECT_EQ(empty.autoVibratoDepth, 0);
    EXPECT_EQ(p->instruments[1].samples[0].length, 4u); // the next instrument follows the short record
}

TEST(LoaderInstruments, EnvelopesAndAutoVibrato) {
    XmInstrument ins = makeInstrument({1});
    ins.volumeEnvelope.points = {{0, 64}, {5, 32}, {9, 0}};
    ins.volumeEnvelope.storedCount = 20; // clamped to 12
    ins.volumeEnvelope.loopStart = 15;   // clamped to count - 1
    ins.volumeEnvelope.loopEnd = 30;
    ins.volumeEnvelope.sustainPoint = 40; // kept as it is
    ins.volumeEnvelope.type = 7;
    ins.panningEnvelope.points = {{0, 32}, {4, 0}};
    ins.panningEnvelope.loopStart = 1;
    ins.panningEnvelope.loopEnd = 9;
    ins.panningEnvelope.type = 2;
    ins.fadeout = 0x1234;
    for (auto [stored, expected] : {std::pair{0, 0}, {1, 2}, {2, 1}, {3, 3}, {4, 4}}) {
        ins.vibratoType = uint8_t(stored);
        auto p = loadPlayer(writeXm(oneInstrumentSong(ins)));
        ASSERT_TRUE(p);
        const Instrument& loaded = p->instruments[0];
        EXPECT_EQ(loaded.autoVibratoWaveform, expected);
        EXPECT_EQ(loaded.volumeEnvelope.pointCount, 12);
        EXPECT_EQ(loaded.volumeEnvelope.points[1].x, 5);
        EXPECT_EQ(loaded.volumeEnvelope.points[1].y, 32);
        EXPECT_EQ(loaded.volumeEnvelope.loopStartPoint, 11);
        EXPECT_EQ(loaded.volumeEnvelope.loopEndPoint, 11);
        EXPECT_EQ(loaded.volumeEnvelope.sustainPoint, 40);
        EXPECT_EQ(loaded.volumeEnvelope.enabled + loaded.volumeEnvelope.sustainEnabled +
                      loaded.volumeEnvelope.loopEnabled,
                  3);
        EXPECT_EQ(loaded.panningEnvelope.loopStartPoint, 1);
        EXPECT_EQ(loaded.panningEnvelope.loopEndPoint, 1);
        EXPECT_EQ(loaded.panningEnvelope.enabled, 0);
        EXPECT_EQ(loaded.panningEnvelope.sustainEnabled, 1);
        EXPECT_EQ(loaded.fadeout, 0x1234);
    }
    // A stored count of 0: the point written behind it is not read.
    ins.volumeEnvelope.points = {{42, 64}};
    ins.volumeEnvelope.storedCount = 0;
    auto p = loadPlayer(writeXm(oneInstrumentSong(ins)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->instruments[0].volumeEnvelope.points[0].x, 0);
}

TEST(LoaderSamples, LoopFixUpsAndFields) {
    XmInstrument ins;
    XmSample beyond;
    beyond.points = std::vector<int16_t>(10, 0);
    beyond.loop = XmLoop::Forward;
    beyond.loopStart = 12; // beyond the length: no loop
    beyond.loopLength = 4;
    beyond.volume = 80; // not clamped
    beyond.finetune = -16;
    beyond.panning = 255;
    beyond.relativeNote = -12;
    XmSample pingPong;
    pingPong.points = std::vector<int16_t>(10, 0);
    pingPong.loop = XmLoop(3); // both loop bits: ping-pong
    pingPong.loopStart = 4;
    pingPong.loopLength = 20; // end clamped to the length
    ins.samples = {beyond, pingPong};
    auto p = loadPlayer(writeXm(oneInstrumentSong(ins)));
    ASSERT_TRUE(p);
    const Sample& a = p->instruments[0].samples[0];
    EXPECT_EQ(a.loopStart, 10u);
    EXPECT_EQ(a.loopEnd, 10u);
    EXPECT_EQ(a.loopLength, 0u);
    EXPECT_EQ(a.loopType, LoopNone);
    EXPECT_FLOAT_EQ(a.volume, 1.25f);
    EXPECT_EQ(a.finetune, -16);
    EXPECT_FLOAT_EQ(a.panning, 1.0f);
    EXPECT_EQ(a.relativeNote, -12);
    EXPECT_EQ(a.bits, 8);
    const Sample& b = p->instruments[0].samples[1];
    EXPECT_EQ(b.loopType, LoopPingPong);
    EXPECT_EQ(b.loopStart, 4u);
    EXPECT_EQ(b.loopEnd, 10u);
    EXPECT_EQ(b.loopLength, 6u);
}

TEST(LoaderSamples, SixteenBitCountsPoints) {
    XmInstrument ins;
    XmSample s;
    s.sixteenBit = true;
    s.points = std::vector<int16_t>(500, 0);
    s.loop = XmLoop::Forward;
    s.loopStart = 200;
    s.loopLength = 600;
    XmSample oneByteLoop = s;          // a loop of one byte is no loop of 16-bit points
    oneByteLoop.points = {0, 0, 0, 7}; // ends the block's sample data with a nonzero point
    oneByteLoop.loopStart = 2;
    oneByteLoop.loopLength = 1;
    ins.samples = {s, oneByteLoop};
    const ParsedBlock block(writeXm(oneInstrumentSong(ins)));
    const ModulePlayer* p = block.player;
    const Sample& a = p->instruments[0].samples[0];
    EXPECT_EQ(a.bits, 16);
    EXPECT_EQ(a.length, 500u);
    EXPECT_EQ(a.loopStart, 100u);
    EXPECT_EQ(a.loopEnd, 400u);
    EXPECT_EQ(a.loopLength, 300u);
    EXPECT_EQ(a.loopType, LoopForward);
    const Sample& b = p->instruments[0].samples[1];
    EXPECT_EQ(b.loopStart, b.loopEnd);
    EXPECT_EQ(b.loopType, LoopNone);
}

TEST(LoaderSamples, DeltaDecoding) {
    XmInstrument ins;
    XmSample eight;
    eight.points = {1, 2, 0, -128, 127}; // deltas 1, 1, 0xFE, 0x80, 0xFF (wrapping)
    XmSample sixteen;
    sixteen.sixteenBit = true;
    sixteen.points = {1000, -1000, 32767, -32768};
    ins.samples = {eight, sixteen};
    std::vector<uint8_t> bytes = writeXm(oneInstrumentSong(ins));
    // The stored deltas of the 8-bit sample, as a tracker writes them.
    size_t dataAt = bytes.size() - 5 - 8;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + long(dataAt), bytes.begin() + long(dataAt) + 5),
              (std::vector<uint8_t>{1, 1, 0xFE, 0x80, 0xFF}));
    auto p = loadPlayer(bytes);
    ASSERT_TRUE(p);
    const auto* a = static_cast<const int8_t*>(p->instruments[0].samples[0].data);
    EXPECT_EQ(std::vector<int>(a, a + 5), (std::vector<int>{1, 2, 0, -128, 127}));
    const auto* b = static_cast<const int16_t*>(p->instruments[0].samples[1].data);
    EXPECT_EQ(std::vector<int>(b, b + 4), (std::vector<int>{1000, -1000, 32767, -32768}));
}

TEST(LoaderSamples, DataMissingAtTheEndHoldsTheLastValue) {
    XmInstrument ins = makeInstrument({3, 5, 9, 9});
    std::vector<uint8_t> bytes = writeXm(oneInstrumentSong(ins));
    bytes.resize(bytes.size() - 2); // deltas for points 2 and 3 are gone: they read as 0
    auto p = loadPlayer(bytes);
    ASSERT_TRUE(p);
    const auto* a = static_cast<const int8_t*>(p->instruments[0].samples[0].data);
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{3, 5, 5, 5}));
}

// The part named when a module asks for too much: the largest, and of equal ones the first in the file.
TEST(LoaderLimits, TheLargestClaimIsNamed) {
    for (auto [second, third, instrument] :
         {std::tuple{5000, 4000, 2u}, {4000, 5000, 3u}, {5000, 5000, 2u}}) {
        XmModule song = oneInstrumentSong(makeInstrument({}));
        song.instruments.push_back(makeInstrument(std::vector<int16_t>(second)));
        song.instruments.push_back(makeInstrument(std::vector<int16_t>(third)));
        const std::vector<uint8_t> bytes = writeXm(song);
        const ModuleClaim claim = largestModuleClaim(bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(claim.part, PartSampleData);
        EXPECT_EQ(claim.bytes, 5000u);
        EXPECT_EQ(claim.instrument, instrument) << second << " and " << third << " bytes";
    }
}

TEST(LoaderLimits, ABlockOfExactly1GiBIsTheLargestCreated) {
    // A sample declaring more data than the file holds: the block still reserves all of it, so its length
    // sets the block's size. Only its first 2^24 points are filled; the rest of the block stays untouched.
    auto bytesWithSample = [](uint32_t lengthBytes) {
        XmInstrument ins = makeInstrument({});
        ins.samples[0].storedLength = lengthBytes;
        return writeXm(oneInstrumentSong(ins));
    };
    auto measure = [](const std::vector<uint8_t>& bytes) {
        return measureModule(bytes.data(), uint32_t(bytes.size()));
    };
    const uint64_t rest = measure(bytesWithSample(0));
    const std::vector<uint8_t> largest = bytesWithSample(uint32_t(kMaxPlayerBlockSize - rest));
    const std::vector<uint8_t> beyond = bytesWithSample(uint32_t(kMaxPlayerBlockSize - rest + 1));
    ASSERT_EQ(measure(largest), uint64_t(1) << 30);
    ASSERT_GT(measure(beyond), uint64_t(1) << 30);

    ModulePlayer* player = nullptr;
    ASSERT_EQ(createModulePlayer(largest.data(), uint32_t(largest.size()), &player, 44100), CreateOk);
    EXPECT_EQ(player->blockSize, uint64_t(1) << 30);
    freeModulePlayer(player);
    player = reinterpret_cast<ModulePlayer*>(1);
    EXPECT_EQ(createModulePlayer(beyond.data(), uint32_t(beyond.size()), &player, 44100), CreateOutOfMemory);
    EXPECT_EQ(player, nullptr);
}

} // namespace
