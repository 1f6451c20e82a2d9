#include "xm_reader.h"
#include "xm_writer.h"

#include <gtest/gtest.h>

using namespace composer;

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
    ins.sample.data = {0, 100, -100, 0};
    ins.sample.loop = XmLoop::Forward;
    ins.sample.loopStart = 1;
    ins.sample.loopLength = 2;
    ins.sample.relativeNote = -12;
    ins.sample.finetune = -5;
    ins.volumeEnvelope.points = {{0, 64}, {10, 32}, {20, 0}};
    ins.volumeEnvelope.sustain = true;
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
    const std::vector<uint8_t> expected = {1, 1, 0xFE, 0x80, 0x80};
    EXPECT_EQ(deltaEncode({1, 2, 0, -128, 0}), expected);
}

TEST(XmWriter, WritesAModuleThatAnIndependentReaderDecodes) {
    const XmModule src = tinyModule();
    const xmtest::Module m = xmtest::readModule(writeXm(src));
    EXPECT_EQ(m.headerSize, 276u);
    EXPECT_EQ(m.bytes.size() >= 336u, true);
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
    XmModule m = tinyModule();
    m.order = {0, 2};
    EXPECT_THROW(writeXm(m), XmFormatError) << "order names a missing pattern";

    m = tinyModule();
    m.restartPosition = 3;
    EXPECT_THROW(writeXm(m), XmFormatError) << "restart beyond the song";

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points.assign(13, {});
    EXPECT_THROW(writeXm(m), XmFormatError) << "13 envelope points";

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 0}};
    EXPECT_THROW(writeXm(m), XmFormatError) << "envelope ticks not rising";

    m = tinyModule();
    m.instruments[0].sample.loopLength = 4;
    EXPECT_THROW(writeXm(m), XmFormatError) << "loop beyond the sample";

    m = tinyModule();
    m.patterns[1] = XmPattern(2, 3);
    EXPECT_THROW(writeXm(m), XmFormatError) << "pattern with another channel count";
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
