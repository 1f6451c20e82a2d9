// Notes and instruments: note start, instrument-only resets, invalid instruments and keymaps, note
// delay, retrigger and sample offset.
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

using namespace music;

namespace {

XmModule twoSampleSong(uint16_t rows) {
    XmModule song = makeSong(rows);
    XmInstrument& ins = song.instruments[0];
    XmSample quiet;
    quiet.points = std::vector<int16_t>(600, -64);
    quiet.volume = 16;
    quiet.panning = 0;
    quiet.relativeNote = 12;
    quiet.finetune = 64;
    ins.samples.push_back(quiet);
    ins.samples[0].volume = 48;
    ins.samples[0].panning = 255;
    ins.keymap[kMiddleC - 1 + 1] = 1; // C#-4 plays the second sample
    ins.keymap[kMiddleC - 1 + 2] = 7; // D-4 names a sample that does not exist
    return song;
}

TEST(Notes, NoteStartsTheKeymappedSample) {
    XmModule song = twoSampleSong(3);
    song.cell(0, 0, 0) = {kMiddleC + 1, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {kMiddleC, 0, 0x20, 0, 0}; // note without instrument keeps the volume
    song.cell(0, 2, 0) = {kMiddleC + 2, 1, 0, 0, 0};
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    advanceTick(p.get());
    EXPECT_EQ(c.sample, &p->instruments[0].samples[1]);
    EXPECT_EQ(c.position, 0.0f);
    EXPECT_EQ(c.volume, 0.25f);
    EXPECT_EQ(c.panning, 0.0f);
    EXPECT_EQ(c.noteValue, 12 + 50 + 0.5f - 1);
    EXPECT_EQ(c.period, 7680.0f - 64 * 61.5f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.sample, &p->instruments[0].samples[0]);
    EXPECT_EQ(c.volume, 0.25f); // set by the volume column after the note kept the old volume
    EXPECT_EQ(c.panning, 1.0f);
    EXPECT_EQ(c.triggerNoteValue, 48.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(c.volume, 0.0f); // keymap entry beyond the samples
}

TEST(Notes, InstrumentAloneResetsWithoutRestarting) {
    XmModule song = twoSampleSong(3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectPortamentoUp, 4};
    song.cell(0, 1, 0) = {0, 1, 0, EffectSetVolume, 0x10};
    song.cell(0, 2, 0) = {0, 1, 0, EffectTonePortamento, 0};
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 6);
    EXPECT_EQ(c.period, 4608.0f - 5 * 16);
    c.position = 300.0f;
    c.fadeoutVolume = 0.5f;
    advanceTick(p.get());
    EXPECT_EQ(c.position, 300.0f);
    EXPECT_EQ(c.period, 4608.0f); // back to the note
    EXPECT_EQ(c.volume, 0.25f);   // the sample's 0.75, then C10
    EXPECT_EQ(c.fadeoutVolume, 1.0f);
    runTicks(p.get(), 5);
    c.period = 4000.0f;
    advanceTick(p.get());
    EXPECT_EQ(c.volume, 0.75f); // with tone portamento: volume reset, period kept
    EXPECT_EQ(c.period, 4000.0f);
}

TEST(Notes, InvalidInstrumentSilencesTheChannel) {
    XmModule song = makeSong(3, 3);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {kMiddleC, 9, 0, 0, 0};
    song.cell(0, 2, 0) = {kMiddleC, 0, 0, 0, 0};
    // A note without instrument keeps the channel's volume: 0 after an invalid instrument on channel 1,
    // the volume of a new channel, 1, on channel 2.
    song.cell(0, 0, 1) = {0, 9, 0, 0, 0};
    song.cell(0, 1, 1) = {0, 1, 0, 0, 0};
    song.cell(0, 2, 1) = {kMiddleC, 0, 0, 0, 0};
    song.cell(0, 1, 2) = {0, 1, 0, 0, 0};
    song.cell(0, 2, 2) = {kMiddleC, 0, 0, 0, 0};
    song.instruments[0].samples[0].volume = 32;
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 7);
    EXPECT_EQ(c.volume, 0.0f);
    EXPECT_EQ(c.instrument, nullptr);
    EXPECT_EQ(c.sample, nullptr);
    runTicks(p.get(), 6); // a note with no instrument stays silent
    EXPECT_EQ(c.volume, 0.0f);
    EXPECT_EQ(c.sample, nullptr);
    EXPECT_NE(p->channels[1].sample, nullptr);
    EXPECT_EQ(p->channels[1].volume, 0.0f);
    EXPECT_NE(p->channels[2].sample, nullptr);
    EXPECT_EQ(p->channels[2].volume, 1.0f);
}

// Channel 0 changes from an instrument whose envelopes hold it silent and off centre to one without
// envelopes, which plays at full volume in the centre, forwards through its ping-pong loop. Channel 1
// plays its instrument again: the panning envelope, the auto-vibrato sweep and the vibrato phase
// (retriggered unless E4x says otherwise) start from their beginnings.
TEST(Notes, ANewNoteStartsItsStateOver) {
    XmModule song = makeSong(2, 2, 3);
    XmInstrument& enveloped = song.instruments[0];
    enveloped.volumeEnvelope.points = {{0, 0}, {6, 0}};
    enveloped.volumeEnvelope.type = XmEnvelopeOn;
    enveloped.panningEnvelope.points = {{0, 64}, {6, 0}};
    enveloped.panningEnvelope.type = XmEnvelopeOn;
    enveloped.vibratoDepth = 8;
    enveloped.vibratoSweep = 4;
    enveloped.vibratoRate = 16;
    song.instruments.push_back(makeInstrument(std::vector<int16_t>(1000, 64), XmLoop::PingPong, 0, 1000));
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {kMiddleC, 2, 0, 0, 0};
    song.cell(0, 0, 1) = {kMiddleC, 1, 0, EffectVibrato, 0x48};
    song.cell(0, 1, 1) = {kMiddleC, 1, 0, EffectVibrato, 0};
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& a = p->channels[0];
    PlayerChannel& b = p->channels[1];
    runTicks(p.get(), 3);
    ASSERT_EQ(a.envelopeVolume, 0.0f);
    ASSERT_NEAR(a.envelopePanning, 2.0f / 3.0f, 1e-6f); // the envelope at tick 2
    ASSERT_EQ(b.vibratoPosition, 8);
    a.forward = 0; // as if on its way back through a loop
    advanceTick(p.get());
    EXPECT_EQ(a.envelopeVolume, 1.0f);
    EXPECT_EQ(a.envelopePanning, 0.5f);
    EXPECT_EQ(a.forward, 1);
    EXPECT_EQ(b.envelopePanning, 1.0f); // tick 0 of the envelope again
    EXPECT_EQ(b.panningEnvelopeTick, 1);
    EXPECT_EQ(b.autoVibratoCounter, 1);
    EXPECT_EQ(b.autoVibratoOffset, 0.0f); // the sweep's first tick has no depth
    EXPECT_EQ(b.vibratoPosition, 0);
}

TEST(Notes, NoteDelayAppliesTheCellLater) {
    XmModule song = makeSong(2);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0x20, EffectExtended, 0xD3};
    song.cell(0, 1, 0) = {0, 0, 0, EffectExtended, 0xD2}; // no note: replays the last one
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    runTicks(p.get(), 3);
    EXPECT_EQ(c.sample, nullptr);
    advanceTick(p.get());
    EXPECT_NE(c.sample, nullptr);
    EXPECT_EQ(c.volume, 0.25f);
    EXPECT_EQ(c.volumeEnvelopeTick, 0); // no envelope: ticks untouched
    runTicks(p.get(), 2);
    c.position = 99.0f;
    c.noteValue = 30.0f;
    runTicks(p.get(), 2);
    EXPECT_EQ(c.position, 99.0f);
    advanceTick(p.get());
    EXPECT_EQ(c.position, 0.0f);
    EXPECT_EQ(c.noteValue, 48.0f);
    EXPECT_EQ(c.volume, 0.25f);
}

TEST(Notes, RetriggerRestartsEveryXTicks) {
    XmModule song = makeSong(1);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectExtended, 0x92};
    auto p = loadPlayer(writeXm(song));
    std::vector<int> restarts;
    for (int t = 0; t < 6; ++t) {
        p->channels[0].position = 5.0f;
        advanceTick(p.get());
        if (p->channels[0].position == 0.0f) restarts.push_back(t);
    }
    EXPECT_EQ(restarts, (std::vector<int>{0, 2, 4}));
}

TEST(Notes, SampleOffset) {
    XmModule song = makeSong(4);
    XmSample wide;
    wide.sixteenBit = true;
    wide.points = std::vector<int16_t>(384, 1);
    song.instruments[0].samples.push_back(wide);
    song.instruments[0].keymap[kMiddleC] = 1;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectSampleOffset, 2};
    song.cell(0, 1, 0) = {kMiddleC + 1, 1, 0, EffectSampleOffset, 2};
    song.cell(0, 2, 0) = {kMiddleC, 1, 0, EffectSampleOffset, 4};     // 1024 is beyond 1000 points
    song.cell(0, 3, 0) = {kMiddleC + 1, 1, 0, EffectSampleOffset, 3}; // 384 is the 384 points' end
    auto p = loadPlayer(writeXm(song));
    advanceTick(p.get());
    EXPECT_EQ(p->channels[0].position, 512.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->channels[0].position, 256.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->channels[0].position, -1.0f);
    runTicks(p.get(), 6);
    EXPECT_EQ(p->channels[0].position, -1.0f);
}

} // namespace
