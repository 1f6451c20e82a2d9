#include "music/xm_writer.h"
#include "tests/generators/xm_reader.h"

#include <gtest/gtest.h>

using namespace music;

namespace {

XmModule tinyModule() {
    XmModule m;
    m.title = "t";
    m.channels = 2;
    m.speed = 3;
    m.tempo = 173;
    m.restartPosition = 1;
    m.order = {0, 1, 0};
    m.patterns = {XmPattern(4, 2), XmPattern(2, 2)};
    m.patterns[0].at(1, 1) = {49, 1, 0x30, 0x0C, 0x20};
    m.patterns[1].at(0, 0) = {97, 0, 0, 0, 0};
    XmInstrument ins;
    ins.name = "square";
    XmSample& s = ins.samples.emplace_back();
    s.points = {0, 100, -100, 0};
    s.loop = XmLoop::Forward;
    s.loopStart = 1;
    s.loopLength = 2;
    s.relativeNote = -12;
    s.finetune = -5;
    ins.volumeEnvelope.points = {{0, 64}, {10, 32}, {20, 0}};
    ins.volumeEnvelope.type = XmEnvelopeOn | XmEnvelopeSustain;
    ins.volumeEnvelope.sustainPoint = 1;
    ins.fadeout = 512;
    m.instruments = {ins};
    return m;
}

TEST(XmWriter, PacksEmptyFullAndPartialCells) {
    XmPattern p(1, 3);
    p.at(0, 1) = {49, 2, 0x40, 0x0A, 0x0F};
    p.at(0, 2) = {0, 0, 0, 0x00, 0x37}; // arpeggio: effect 0 with a parameter
    const std::vector<uint8_t> expected = {0x80, 49, 2, 0x40, 0x0A, 0x0F, 0x90, 0x37};
    EXPECT_EQ(packPattern(p), expected);
}

TEST(XmWriter, StoresSampleDataAsWrappingDifferences) {
    XmSample s;
    s.points = {1, 2, 0, -128, 0};
    EXPECT_EQ(encodeSampleData(s), (std::vector<uint8_t>{1, 1, 0xFE, 0x80, 0x80}));
    s.sixteenBit = true; // little-endian 16-bit differences
    s.points = {1000, -1000, 32767, -32768};
    EXPECT_EQ(encodeSampleData(s), (std::vector<uint8_t>{0xE8, 0x03, 0x30, 0xF8, 0xE7, 0x83, 0x01, 0x00}));
}

TEST(XmWriter, WritesAModuleThatAnIndependentReaderDecodes) {
    const XmModule src = tinyModule();
    const xmtest::Module m = xmtest::readModule(writeXm(src));
    EXPECT_EQ(m.headerSize, 276u);
    EXPECT_GE(m.bytes.size(), 336u);
    EXPECT_EQ(m.songLength, 3u);
    EXPECT_EQ(m.restart, 1u);
    EXPECT_EQ(m.channels, 2u);
    EXPECT_EQ(m.patternCount, 2u);
    EXPECT_EQ(m.flags, 1u);
    EXPECT_EQ(m.speed, 3u);
    EXPECT_EQ(m.tempo, 173u);
    EXPECT_EQ(m.order[1], 1);
    EXPECT_EQ(m.order[3], 0);
    EXPECT_EQ(m.patterns[0].rows, 4u);
    const auto& c = m.cell(0, 1, 1);
    EXPECT_EQ(c.note, 49);
    EXPECT_EQ(c.volume, 0x30);
    EXPECT_EQ(c.param, 0x20);
    EXPECT_EQ(m.cell(1, 0, 0).note, 97);
    ASSERT_EQ(m.instruments.size(), 1u);
    const auto& ins = m.instruments[0];
    EXPECT_EQ(ins.headerSize, 263u);
    EXPECT_EQ(ins.volumePoints, 3u);
    EXPECT_EQ(ins.volumeTicks[1], 10);
    EXPECT_EQ(ins.volumeValues[1], 32);
    EXPECT_EQ(ins.volumeSustain, 1);
    EXPECT_EQ(ins.volumeType, 3) << "enabled with sustain";
    EXPECT_EQ(ins.fadeout, 512);
    const auto& s = ins.samples.at(0);
    EXPECT_EQ(s.length, 4u);
    EXPECT_EQ(s.loopStart, 1u);
    EXPECT_EQ(s.loopLength, 2u);
    EXPECT_EQ(s.type, 1);
    EXPECT_EQ(s.relativeNote, -12);
    EXPECT_EQ(s.finetune, -5);
    EXPECT_EQ(s.data, (std::vector<int8_t>{0, 100, -100, 0}));
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    EXPECT_NO_THROW(checkXm(tinyModule()));
    XmModule m = tinyModule();
    m.order = {0, 2};
    EXPECT_THROW(checkXm(m), XmFormatError) << "order names a missing pattern";

    m = tinyModule();
    m.restartPosition = 3;
    EXPECT_THROW(checkXm(m), XmFormatError) << "restart beyond the song";

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points.assign(13, {});
    EXPECT_THROW(writeXm(m), XmFormatError) << "13 envelope points cannot be stored";

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 0}};
    EXPECT_THROW(checkXm(m), XmFormatError) << "envelope ticks not rising";

    m = tinyModule();
    m.instruments[0].samples[0].loopLength = 4;
    EXPECT_THROW(checkXm(m), XmFormatError) << "loop beyond the sample";

    m = tinyModule();
    XmSample& wide = m.instruments[0].samples[0];
    wide.sixteenBit = true; // 8 bytes: a loop of bytes 1-2 splits points
    EXPECT_THROW(checkXm(m), XmFormatError) << "16-bit loop on odd bytes";
    wide.loopStart = 2;
    wide.loopLength = 6;
    EXPECT_NO_THROW(checkXm(m));

    m = tinyModule();
    m.instruments[0].samples[0].points[1] = 200;
    EXPECT_THROW(checkXm(m), XmFormatError) << "8-bit value out of range";

    m = tinyModule();
    m.patterns[1] = XmPattern(2, 3);
    EXPECT_THROW(checkXm(m), XmFormatError) << "pattern with another channel count";
}

TEST(XmReader, FollowsBreaksAndStopsAtTheFirstRepeatedRow) {
    XmModule src = tinyModule();
    src.patterns[0].at(2, 0) = {0, 0, 0, 0x0D, 0x01}; // from row 2 break to row 1 of the next position
    const auto played = xmtest::playOnce(xmtest::readModule(writeXm(src)));
    // Position 0 rows 0-2, position 1 row 1, position 2 rows 0-2 (it breaks again), then position 3 is
    // beyond the song, so play resumes at restart position 1, row 1, which was heard.
    ASSERT_EQ(played.size(), 7u);
    EXPECT_EQ(played[3].position, 1u);
    EXPECT_EQ(played[3].row, 1u);
    EXPECT_EQ(played[4].position, 2u);
    EXPECT_EQ(played[4].row, 0u);
}

} // namespace
