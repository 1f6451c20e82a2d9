// Pitch effects: arpeggio, portamentos, tone portamento, vibrato, fine and extra fine slides, finetune.
#include "music/mixer.h"
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace music;

namespace {

std::vector<int> arpeggioTicks(uint16_t speed) {
    XmModule song = makeSong(2, 1, speed);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectArpeggio, 0x47};
    song.cell(0, 1, 0) = {0, 0, 0, EffectArpeggio, 0x47};
    auto p = loadPlayer(writeXm(song));
    std::vector<int> semitones;
    for (int i = 0; i < 2 * speed; ++i) {
        advanceTick(p.get());
        semitones.push_back(p->channels[0].arpeggioSemitones);
    }
    return semitones;
}

TEST(Arpeggio, CycleAlignsWithTheRowEnd) {
    EXPECT_EQ(arpeggioTicks(3), (std::vector<int>{0, 7, 4, 0, 7, 4}));
    EXPECT_EQ(arpeggioTicks(4), (std::vector<int>{0, 0, 7, 4, 0, 0, 7, 4}));
    EXPECT_EQ(arpeggioTicks(5), (std::vector<int>{0, 4, 0, 7, 4, 0, 4, 0, 7, 4}));
    EXPECT_EQ(arpeggioTicks(6), (std::vector<int>{0, 7, 4, 0, 7, 4, 0, 7, 4, 0, 7, 4}));
}

TEST(Arpeggio, PlaysTheOffsetAndStopsWithTheEffect) {
    // Each arpeggio row ends on +x; another effect stops it, and so does an empty cell.
    XmModule song = makeSong(4, 1, 3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectArpeggio, 0xCC};
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetVolume, 0x20};
    song.cell(0, 2, 0) = {0, 0, 0, EffectArpeggio, 0xCC};
    auto p = loadPlayer(writeXm(song));
    runTicks(p.get(), 2);
    EXPECT_NEAR(p->channels[0].frequency, 16726.0f, 0.05f);
    for (int row : {1, 3}) {
        runTicks(p.get(), row == 1 ? 2 : 6);
        EXPECT_EQ(p->channels[0].arpeggioSemitones, 0) << "row " << row;
        EXPECT_NEAR(p->channels[0].frequency, 8363.0f, 0.05f) << "row " << row;
    }
}

TEST(Portamento, SlidesOnEveryTickButTheFirstWithMemory) {
    XmModule song = makeSong(3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectPortamentoUp, 2};
    song.cell(0, 1, 0) = {0, 0, 0, EffectPortamentoUp, 0};
    song.cell(0, 2, 0) = {0, 0, 0, EffectPortamentoDown, 3};
    auto p = loadPlayer(writeXm(song));
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].period, 4608.0f);
    runTicks(p.get(), 5);
    EXPECT_EQ(p->channels[0].period, 4608.0f - 5 * 8);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->channels[0].period, 4608.0f - 10 * 8);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->channels[0].period, 4608.0f - 80 + 5 * 12);
}

TEST(TonePortamento, GlidesWithoutRestartingTheSample) {
    XmModule song = makeSong(3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {kMiddleC + 12, 0, 0, EffectTonePortamento, 16};
    song.cell(0, 2, 0) = {0, 0, 0xF2, 0, 0}; // volume column: speed 2 x 17 and a step per tick
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 6);
    c.position = 123.0f;
    advanceTick(p.get());
    EXPECT_EQ(c.position, 123.0f);
    EXPECT_EQ(c.tonePortamentoTarget, 7680.0f - 64 * 60);
    EXPECT_EQ(c.period, 4608.0f);
    runTicks(p.get(), 5);
    EXPECT_EQ(c.period, 4608.0f - 5 * 64);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.tonePortamentoSpeed, 34);
    EXPECT_EQ(c.period, 3840.0f); // 5 x 136 passes the target and lands on it
}

TEST(TonePortamento, NoteWithoutInstrumentIsSilent) {
    XmModule song = makeSong(1);
    song.cell(0, 0, 0) = {kMiddleC, 0, 0, EffectTonePortamento, 1};
    auto p = loadPlayer(writeXm(song));
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].volume, 0.0f);
    EXPECT_EQ(p->channels[0].sample, nullptr);
}

TEST(Vibrato, ModulatesThenResets) {
    XmModule song = makeSong(3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectVibrato, 0x48};
    song.cell(0, 1, 0) = {0, 0, 0xA8, 0, 0}; // vibrato speed 8 into the memory, no vibrato now
    song.cell(0, 2, 0) = {0, 0, 0xB0, 0, 0};
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 2);
    EXPECT_EQ(c.vibratoActive, 1);
    EXPECT_NEAR(c.vibratoOffset, 0.408196f, 1e-5f);
    EXPECT_NEAR(c.frequency, 8363.0f * std::exp2(16.0f * 0.408196f / 768.0f), 0.01f);
    runTicks(p.get(), 5);
    EXPECT_EQ(c.vibratoOffset, 0.0f);
    EXPECT_NEAR(c.frequency, 8363.0f, 0.01f);
    EXPECT_EQ(c.vibratoMemory, 0x88);
    runTicks(p.get(), 5);
    // Volume column B: the remembered speed 8 and depth 8 step on from position 4 x 5.
    runTicks(p.get(), 2);
    EXPECT_EQ(c.vibratoPosition, 20 + 8);
}

TEST(FinePortamento, RowTimeSlidesWithTheirOwnMemories) {
    XmModule song = makeSong(4);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectExtended, 0x12};
    song.cell(0, 1, 0) = {0, 0, 0, EffectExtended, 0x10};
    song.cell(0, 2, 0) = {0, 0, 0, EffectExtraFinePortamento, 0x23};
    song.cell(0, 3, 0) = {0, 0, 0, EffectExtraFinePortamento, 0x20};
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    advanceTick(p.get());
    EXPECT_EQ(c.period, 4600.0f);
    runTicks(p.get(), 5);
    EXPECT_EQ(c.period, 4600.0f); // nothing per tick
    runTicks(p.get(), 6);
    EXPECT_EQ(c.period, 4592.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.period, 4604.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.period, 4616.0f);
}

TEST(Finetune, SetsTheNoteOfThisCell) {
    XmModule song = makeSong(1);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectExtended, 0x5C};
    auto p = loadPlayer(writeXm(song));
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].noteValue, 48.5f);
    EXPECT_EQ(p->channels[0].period, 7680.0f - 64 * 48.5f);
}

} // namespace

// Amiga periods slid to zero and modulated below it: a pitch at or below zero holds the channel (step 0,
// the position unchanged), for every loop type and sample width, and nothing is read outside the sample.
TEST(PitchBelowZero, HoldsTheChannelForEveryLoopAndWidth) {
    for (XmLoop loop : {XmLoop::None, XmLoop::Forward, XmLoop::PingPong}) {
        for (bool sixteenBit : {false, true}) {
            SCOPED_TRACE(testing::Message() << "loop " << int(loop) << (sixteenBit ? ", 16-bit" : ", 8-bit"));
            XmModule song = makeSong(16);
            song.linearFrequencies = false;
            XmSample& s = song.instruments[0].samples[0];
            s.points.clear();
            for (int i = 0; i < 64; ++i) s.points.push_back(int16_t((i % 16 - 8) * (sixteenBit ? 4000 : 15)));
            s.sixteenBit = sixteenBit;
            s.loop = loop;
            const uint32_t width = sixteenBit ? 2 : 1;
            s.loopStart = loop == XmLoop::None ? 0 : 16 * width;
            s.loopLength = loop == XmLoop::None ? 0 : 32 * width;
            song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectPortamentoUp, 0xFF};
            for (uint16_t row = 1; row < 16; ++row) song.cell(0, row, 0) = {0, 0, 0, EffectVibrato, 0x18};
            auto p = loadPlayer(writeXm(song));
            ASSERT_TRUE(p);
            const PlayerChannel& c = p->channels[0];

            // Frame by frame: the tick state after a frame is the one that frame was mixed with.
            int heldFrames = 0, belowZeroFrames = 0;
            float frame[2];
            float before = c.position;
            for (uint32_t f = 0; f < 16 * 6 * 882; ++f) {
                renderFrames(p.get(), frame, 1);
                ASSERT_TRUE(std::isfinite(frame[0]) && std::isfinite(frame[1])) << "frame " << f;
                ASSERT_LT(c.position, 64.0f) << "frame " << f;
                const float pitch = c.period + 16.0f * (c.vibratoOffset + c.autoVibratoOffset);
                if (pitch <= 0.0f) {
                    ASSERT_EQ(c.step, 0.0f) << "frame " << f << ", period plus vibrato " << pitch;
                    ASSERT_EQ(c.position, before) << "frame " << f;
                    ++heldFrames;
                    belowZeroFrames += pitch < 0.0f;
                } else {
                    ASSERT_GT(c.step, 0.0f) << "frame " << f;
                }
                before = c.position;
            }
            EXPECT_GT(belowZeroFrames, 0) << "the vibrato should take the pitch below zero";
            EXPECT_GT(heldFrames, belowZeroFrames) << "and the slide exactly to zero before that";
        }
    }
}
