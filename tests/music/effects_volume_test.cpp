// Volume and panning effects: set and slide, volume column, fine slides, tremolo, tremor, retrigger
// volume, key off, note cut, global volume, envelope position.
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace music;

namespace {

// Plays row 0 (a note, full volume) and returns the player positioned before row 1.
PlayerPtr playSecondRow(XmModule song) {
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    auto p = loadPlayer(writeXm(song));
    runTicks(p.get(), song.speed);
    return p;
}

TEST(VolumeEffects, SetVolumeClampsAt64) {
    for (auto [parameter, expected] : {std::pair{0x20, 0.5f}, {0x40, 1.0f}, {0x50, 1.0f}, {0, 0.0f}}) {
        XmModule song = makeSong(2);
        song.cell(0, 1, 0) = {0, 0, 0, EffectSetVolume, uint8_t(parameter)};
        auto p = playSecondRow(song);
        advanceTick(p.get());
        EXPECT_EQ(p->channels[0].volume, expected) << parameter;
    }
}

TEST(VolumeEffects, VolumeSlideWithMemory) {
    XmModule song = makeSong(5);
    song.cell(0, 1, 0) = {0, 0, 0, EffectVolumeSlide, 0x02};
    song.cell(0, 2, 0) = {0, 0, 0, EffectVolumeSlide, 0x00};
    song.cell(0, 3, 0) = {0, 0, 0, EffectVolumeSlide, 0x10};
    song.cell(0, 4, 0) = {0, 0, 0, EffectVolumeSlide, 0x11}; // both nibbles: nothing
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    advanceTick(p.get());
    EXPECT_EQ(c.volume, 1.0f);
    runTicks(p.get(), 5);
    EXPECT_EQ(c.volume, 1.0f - 10 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 1.0f - 20 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 1.0f - 15 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 1.0f - 15 / 64.0f);
}

TEST(VolumeColumn, RowAndTickCommands) {
    XmModule song = makeSong(6);
    song.cell(0, 1, 0) = {0, 0, 0x30, 0, 0}; // volume 32
    song.cell(0, 2, 0) = {0, 0, 0x55, 0, 0}; // nothing
    song.cell(0, 3, 0) = {0, 0, 0x62, 0, 0}; // down 2 per tick
    song.cell(0, 4, 0) = {0, 0, 0x93, 0, 0}; // fine up 3 once
    song.cell(0, 5, 0) = {0, 0, 0xC8, 0, 0}; // panning 8 x 17
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.5f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.5f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.5f - 10 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.5f - 7 / 64.0f);
    advanceTick(p.get());
    EXPECT_EQ(c.panning, 136 / 255.0f);
}

TEST(VolumeColumn, PanningSlides) {
    XmModule song = makeSong(3);
    song.cell(0, 1, 0) = {0, 0, 0xD2, EffectSetPanning, 0x80};
    song.cell(0, 2, 0) = {0, 0, 0xE1, 0, 0};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 6);
    EXPECT_FLOAT_EQ(c.panning, (128 - 10) / 255.0f);
    runTicks(p.get(), 6);
    EXPECT_FLOAT_EQ(c.panning, (128 - 5) / 255.0f);
}

TEST(VolumeEffects, FineVolumeSlidesShareAMemory) {
    XmModule song = makeSong(4);
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetVolume, 0x20};
    song.cell(0, 2, 0) = {0, 0, 0, EffectExtended, 0xA3};
    song.cell(0, 3, 0) = {0, 0, 0, EffectExtended, 0xB0};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 12);
    EXPECT_EQ(c.volume, 0.5f + 3 / 64.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.5f);
}

TEST(VolumeEffects, TremoloOffsetsTheVolume) {
    XmModule song = makeSong(2);
    song.cell(0, 1, 0) = {0, 0, 0, EffectTremolo, 0x48};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 2);
    EXPECT_FLOAT_EQ(c.tremoloOffset, 0.0f); // counter 0: phase 0 of the sine
    advanceTick(p.get());
    // Phase 1 x 4: -(-sin(2pi x 4/64)) x 8 / 15, applied to the gains (volume 1 clamps to 1).
    EXPECT_NEAR(c.tremoloOffset, 0.382683f * 8 / 15, 1e-5f);
    EXPECT_EQ(c.tremoloCounter, 2);
}

TEST(VolumeEffects, TremorMutesOnAPattern) {
    XmModule song = makeSong(2);
    song.cell(0, 1, 0) = {0, 0, 0, EffectTremor, 0x12};
    auto p = playSecondRow(song);
    std::vector<int> muted;
    for (int i = 0; i < 6; ++i) {
        advanceTick(p.get());
        muted.push_back(p->channels[0].tremorMuted);
        if (muted.back()) {
            EXPECT_EQ(p->channels[0].targetLeftGain, 0.0f);
        }
    }
    // on for x + 1 = 2 ticks, off for y + 1 = 3 ticks
    EXPECT_EQ(muted, (std::vector<int>{0, 0, 0, 1, 1, 1}));
}

TEST(VolumeEffects, MultiRetriggerScalesTheVolume) {
    XmModule song = makeSong(3, 1, 3);
    song.cell(0, 1, 0) = {0, 0, 0, EffectMultiRetrigger, 0x61};
    song.cell(0, 2, 0) = {0, 0, 0x50, EffectMultiRetrigger, 0x00};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    advanceTick(p.get());
    c.position = 50.0f;
    runTicks(p.get(), 2);
    EXPECT_EQ(c.position, 0.0f); // retriggered
    EXPECT_FLOAT_EQ(c.volume, 4.0f / 9.0f);
    runTicks(p.get(), 3); // a volume column value keeps the volume
    EXPECT_EQ(c.volume, 1.0f);

    XmModule enveloped = makeSong(2, 1, 3);
    enveloped.instruments[0].volumeEnvelope.points = {{0, 64}, {100, 64}};
    enveloped.instruments[0].volumeEnvelope.type = 1;
    enveloped.cell(0, 1, 0) = {0, 0, 0, EffectMultiRetrigger, 0x61};
    p = playSecondRow(enveloped);
    runTicks(p.get(), 3);
    EXPECT_EQ(p->channels[0].volume, 1.0f);

    // A parameter above 15 replaces the memory; one of 1 to 15 sets only its interval.
    XmModule memory = makeSong(3, 1, 3);
    memory.cell(0, 1, 0) = {0, 0, 0, EffectMultiRetrigger, 0x93};
    memory.cell(0, 2, 0) = {0, 0, 0, EffectMultiRetrigger, 0x0F};
    memory.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectMultiRetrigger, 0x61};
    p = loadPlayer(writeXm(memory));
    for (int expected : {0x61, 0x93, 0x9F}) {
        advanceTick(p.get());
        EXPECT_EQ(p->channels[0].multiRetriggerMemory, expected);
        runTicks(p.get(), 2);
    }
}

// Effect numbers without a meaning, the first beyond the last effect included, leave the channel as a
// cell without effect does.
TEST(VolumeEffects, UnusedEffectNumbersDoNothing) {
    auto play = [](uint8_t effect, uint8_t parameter) {
        XmModule song = makeSong(1, 1, 3);
        song.cell(0, 0, 0) = {kMiddleC, 1, 0, effect, parameter};
        auto p = loadPlayer(writeXm(song));
        runTicks(p.get(), 3);
        return p;
    };
    const PlayerPtr plain = play(0, 0);
    for (uint8_t effect : {18, 19, 22, 23, 24, 26, 28, 30, 31, 32, EffectExtraFinePortamento + 1, 200}) {
        const PlayerPtr p = play(effect, 0xFF);
        const PlayerChannel &a = p->channels[0], &b = plain->channels[0];
        EXPECT_EQ(a.volume, b.volume) << int(effect);
        EXPECT_EQ(a.period, b.period) << int(effect);
        EXPECT_EQ(a.frequency, b.frequency) << int(effect);
        EXPECT_EQ(a.panning, b.panning) << int(effect);
        EXPECT_EQ(p->speed, plain->speed) << int(effect);
        EXPECT_EQ(p->globalVolume, plain->globalVolume) << int(effect);
    }
}

TEST(KeyOff, SilencesAtOnceWithoutAnEnvelope) {
    XmModule song = makeSong(3);
    song.cell(0, 1, 0) = {kNoteKeyOff, 0, 0, 0, 0};
    song.cell(0, 2, 0) = {kMiddleC, 1, 0, EffectKeyOff, 2};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    advanceTick(p.get());
    EXPECT_EQ(c.keyHeld, 0);
    EXPECT_EQ(c.volume, 0.0f);
    runTicks(p.get(), 7);
    EXPECT_EQ(c.volume, 1.0f);
    advanceTick(p.get());
    EXPECT_EQ(c.volume, 0.0f);
}

TEST(KeyOff, FadesOutWithAnEnvelope) {
    XmModule song = makeSong(2);
    song.instruments[0].volumeEnvelope.points = {{0, 64}, {2, 64}};
    song.instruments[0].volumeEnvelope.type = 3; // on, sustain at point 0
    song.instruments[0].fadeout = 4096;
    song.cell(0, 1, 0) = {kNoteKeyOff, 0, 0, 0, 0};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    EXPECT_EQ(c.volumeEnvelopeTick, 0); // held at the sustain point
    advanceTick(p.get());
    EXPECT_EQ(c.volume, 1.0f);
    EXPECT_EQ(c.fadeoutVolume, 1.0f - 4096 / 32768.0f);
    runTicks(p.get(), 5);
    EXPECT_EQ(c.fadeoutVolume, 1.0f - 6 * 4096 / 32768.0f);
    EXPECT_EQ(c.volumeEnvelopeTick, 6);
}

TEST(VolumeEffects, NoteCutAtItsTick) {
    XmModule song = makeSong(2);
    song.cell(0, 1, 0) = {0, 0, 0, EffectExtended, 0xC3};
    auto p = playSecondRow(song);
    runTicks(p.get(), 3);
    EXPECT_EQ(p->channels[0].volume, 1.0f);
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].volume, 0.0f);
}

TEST(GlobalVolume, SetAndSlide) {
    XmModule song = makeSong(3);
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetGlobalVolume, 0x20};
    song.cell(0, 2, 0) = {0, 0, 0, EffectGlobalVolumeSlide, 0x01};
    auto p = playSecondRow(song);
    advanceTick(p.get());
    EXPECT_EQ(p->globalVolume, 0.5f);
    runTicks(p.get(), 11);
    EXPECT_EQ(p->globalVolume, 0.5f - 5 / 64.0f);
}

TEST(PanningEffects, SetSlideAndGains) {
    XmModule song = makeSong(3);
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetPanning, 0xFF};
    song.cell(0, 2, 0) = {0, 0, 0, EffectPanningSlide, 0x04};
    auto p = playSecondRow(song);
    PlayerChannel& c = p->channels[0];
    EXPECT_FLOAT_EQ(c.targetLeftGain, std::sqrt(1.0f - 128 / 255.0f));
    advanceTick(p.get());
    EXPECT_EQ(c.panning, 1.0f);
    EXPECT_EQ(c.targetLeftGain, 0.0f);
    EXPECT_EQ(c.targetRightGain, 1.0f);
    runTicks(p.get(), 11);
    EXPECT_FLOAT_EQ(c.panning, 1.0f - 20 / 255.0f);
}

TEST(PanningEffects, EnvelopeBeyondRangeKeepsGainsFinite) {
    XmModule song = makeSong(2);
    song.instruments[0].panningEnvelope.points = {{0, 1000}, {4, 1000}};
    song.instruments[0].panningEnvelope.type = 1;
    auto p = playSecondRow(song);
    EXPECT_EQ(p->channels[0].targetLeftGain, 0.0f);
    EXPECT_EQ(p->channels[0].targetRightGain, 1.0f);
}

TEST(VolumeEffects, SetEnvelopePosition) {
    XmModule song = makeSong(2);
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetEnvelopePosition, 9};
    auto p = playSecondRow(song);
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].volumeEnvelopeTick, 9);
    EXPECT_EQ(p->channels[0].panningEnvelopeTick, 9);
}

} // namespace
