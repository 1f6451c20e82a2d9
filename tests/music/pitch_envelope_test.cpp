// Periods and frequencies, slides, vibrato, the oscillators and the envelopes.
#include "music/pitch_envelope.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace music;

namespace {

// A player with one channel, for the routines that need the frequency mode and output rate.
PlayerPtr modePlayer(bool linear) {
    XmModule song;
    song.channels = 1;
    song.linearFrequencies = linear;
    song.addPattern(1);
    return loadPlayer(writeXm(song));
}

TEST(PitchConversion, LinearTable) {
    EXPECT_FLOAT_EQ(pitchFromNote(FrequencyLinear, 48.0f), 4608.0f);
    EXPECT_NEAR(pitchToFrequency(FrequencyLinear, 4608.0f, 0, 0.0f), 8363.0f, 0.01f);
    EXPECT_NEAR(pitchToFrequency(FrequencyLinear, pitchFromNote(FrequencyLinear, 60.0f), 0, 0.0f), 16726.0f,
                0.02f);
    EXPECT_NEAR(pitchToFrequency(FrequencyLinear, 4608.0f, 12, 0.0f), 16726.0f, 0.02f);
    // The offset counts quarter semitones: 4 of them raise the pitch by one semitone.
    EXPECT_NEAR(pitchToFrequency(FrequencyLinear, 4608.0f, 0, 4.0f), 8363.0f * std::exp2(1.0f / 12.0f),
                0.01f);
}

TEST(PitchConversion, AmigaTable) {
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(48.0f), 428.0f);
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(24.0f), 1712.0f);
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(0.0f), 6848.0f);
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(13.0f), 3232.0f);
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(48.5f), 416.0f);  // halfway between 428 and 404
    EXPECT_FLOAT_EQ(noteToAmigaPeriod(-1.0f), 7256.0f); // B below octave 0: 907 x 8
    EXPECT_FLOAT_EQ(pitchFromNote(FrequencyAmiga, 48.0f), 428.0f);
    EXPECT_NEAR(pitchToFrequency(FrequencyAmiga, 428.0f, 0, 0.0f), 8287.137f, 0.01f);
    EXPECT_EQ(pitchToFrequency(FrequencyAmiga, 0.0f, 0, 0.0f), 0.0f);
}

TEST(PitchConversion, AmigaArpeggioGoesThroughTheNote) {
    EXPECT_NEAR(pitchToFrequency(FrequencyAmiga, 428.0f, 12, 0.0f), 16574.27f, 0.05f);
    EXPECT_NEAR(pitchToFrequency(FrequencyAmiga, 428.0f, 7, 0.0f),
                pitchToFrequency(FrequencyAmiga, noteToAmigaPeriod(55.0f), 0, 0.0f), 0.05f);
    // A period on the table's top (C-2 and the octaves below it), or far above it, turns back into its
    // note; in the deepest octaves the shifted table entries fall together, and the note is where the
    // period first fits: 3/1024 is note 249 (octave 20 begins below 3, its semitone 8 spans 3 to 4), three
    // semitones up is note 252, period 3/1024 again.
    const struct {
        float period;
        uint32_t semitones;
        double hz;
    } kBacks[] = {{1712.0f, 12, 7093789.0 / (2.0 * 856.0)},
                  {3424.0f, 12, 7093789.0 / (2.0 * 1712.0)},
                  {107.0f, 12, 7093789.0 / (2.0 * 53.5)},
                  {3.0f / 1024.0f, 3, 7093789.0 / (2.0 * 3.0 / 1024.0)}};
    for (const auto& b : kBacks)
        EXPECT_NEAR(pitchToFrequency(FrequencyAmiga, b.period, b.semitones, 0.0f), b.hz, b.hz * 1e-6)
            << "period " << b.period;
    // Periods far outside the table still give finite frequencies.
    for (float period : {0.0f, 1.0f, 3.0e6f, 1.0e12f}) {
        float f = pitchToFrequency(FrequencyAmiga, period, 5, 0.0f);
        EXPECT_TRUE(std::isfinite(f)) << period;
    }
}

TEST(SlidesAndPortamento, SlidesScaleByMode) {
    auto linear = modePlayer(true);
    PlayerChannel& c = linear->channels[0];
    c.period = 4608.0f;
    slidePitch(linear.get(), c, -3);
    EXPECT_FLOAT_EQ(c.period, 4596.0f);
    EXPECT_NEAR(c.frequency, 8363.0f * std::exp2(12.0f / 768.0f), 0.01f);
    EXPECT_FLOAT_EQ(c.step, c.frequency / 44100.0f);
    slidePitch(linear.get(), c, -5000);
    EXPECT_EQ(c.period, 0.0f);

    auto amiga = modePlayer(false);
    PlayerChannel& a = amiga->channels[0];
    a.period = 428.0f;
    slidePitch(amiga.get(), a, 3);
    EXPECT_FLOAT_EQ(a.period, 431.0f);
}

TEST(SlidesAndPortamento, TonePortamentoStopsOnTarget) {
    auto p = modePlayer(true);
    PlayerChannel& c = p->channels[0];
    c.period = 4608.0f;
    c.tonePortamentoTarget = 4580.0f;
    c.tonePortamentoSpeed = 2;
    std::vector<float> periods;
    for (int i = 0; i < 5; ++i) {
        stepTonePortamento(p.get(), c);
        periods.push_back(c.period);
    }
    EXPECT_EQ(periods, (std::vector<float>{4600, 4592, 4584, 4580, 4580}));
    c.frequency = -1.0f; // at the target nothing is recomputed
    stepTonePortamento(p.get(), c);
    EXPECT_EQ(c.frequency, -1.0f);
}

TEST(Vibrato, StepsBeforeUse) {
    auto p = modePlayer(true);
    PlayerChannel& c = p->channels[0];
    c.period = 4608.0f;
    stepVibrato(p.get(), c, 0x48);
    EXPECT_EQ(c.vibratoPosition, 4);
    // -sin(4 * 2pi / 64) x -2 x 8 / 15
    EXPECT_NEAR(c.vibratoOffset, 0.408196f, 1e-5f);
    EXPECT_NEAR(c.frequency, 8363.0f * std::exp2(16.0f * 0.408196f / 768.0f), 0.01f);
}

TEST(Vibrato, AutoVibratoSweepsIn) {
    XmModule song;
    song.channels = 1;
    song.addPattern(1);
    XmInstrument ins = makeInstrument({1});
    ins.vibratoType = 1; // XM square
    ins.vibratoDepth = 15;
    ins.vibratoRate = 4;
    ins.vibratoSweep = 2;
    song.instruments.push_back(ins);
    song.instruments.push_back(makeInstrument({1}));
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    c.instrument = &p->instruments[0];
    c.period = 4608.0f;
    std::vector<float> offsets;
    for (int i = 0; i < 3; ++i) {
        stepAutoVibrato(p.get(), c);
        offsets.push_back(c.autoVibratoOffset);
    }
    // Square at phases 0, 1, 2 is -1; depth 15 gives a quarter; the sweep scales by 0, 1/2, 1.
    EXPECT_FLOAT_EQ(offsets[0], 0.0f);
    EXPECT_FLOAT_EQ(offsets[1], -0.125f);
    EXPECT_FLOAT_EQ(offsets[2], -0.25f);
    c.instrument = &p->instruments[1]; // no auto-vibrato: the offset is dropped
    stepAutoVibrato(p.get(), c);
    EXPECT_EQ(c.autoVibratoOffset, 0.0f);
    EXPECT_NEAR(c.frequency, 8363.0f, 0.01f);
}

TEST(Oscillator, Waveforms) {
    for (uint32_t phase = 0; phase < 64; ++phase)
        EXPECT_EQ(oscillator(2, phase), phase < 32 ? -1.0f : 1.0f) << phase;
    EXPECT_EQ(oscillator(2, 64), -1.0f);
    EXPECT_NEAR(oscillator(0, 16), -1.0f, 1e-6f);
    EXPECT_NEAR(oscillator(0, 48), 1.0f, 1e-6f);
    EXPECT_NEAR(oscillator(0, 0), 0.0f, 1e-6f);
    EXPECT_EQ(oscillator(1, 0), 1.0f);
    EXPECT_EQ(oscillator(1, 32), 0.0f);
    EXPECT_EQ(oscillator(1, 63 + 64), -31.0f / 32.0f);
    EXPECT_EQ(oscillator(4, 0), -1.0f);
    EXPECT_EQ(oscillator(4, 48), 0.5f);
    EXPECT_EQ(oscillator(5, 10), 0.0f);
    for (int i = 0; i < 100; ++i) {
        float r = oscillator(3, 0);
        EXPECT_TRUE(r >= -1.0f && r < 1.0f);
    }
}

TEST(Oscillator, RandomSequenceFromTheSeed) {
    uint32_t state = kRandomSeed;
    EXPECT_EQ(nextRandom(state), 0.13031005859375f);
    EXPECT_EQ(state, 0xC8575475u);
    EXPECT_EQ(nextRandom(state), 0.75634765625f);
    EXPECT_EQ(nextRandom(state), -0.4293212890625f);
}

Envelope makeEnvelope(std::initializer_list<EnvelopePoint> points) {
    Envelope e{};
    for (EnvelopePoint pt : points) e.points[e.pointCount++] = pt;
    e.enabled = 1;
    return e;
}

TEST(Envelope, InterpolatesBetweenPoints) {
    Envelope e = makeEnvelope({{0, 64}, {10, 0}});
    for (auto [tick, expected] : {std::pair{0, 1.0f}, {5, 0.5f}, {10, 0.0f}, {20, 0.0f}}) {
        uint16_t t = uint16_t(tick);
        EXPECT_FLOAT_EQ(evaluateEnvelope(e, t, -1.0f, true), expected) << tick;
        EXPECT_EQ(t, tick + 1);
    }
    // Two points on one tick: the tick on them takes the first one's value.
    Envelope step = makeEnvelope({{0, 16}, {0, 48}, {10, 48}});
    uint16_t t = 0;
    EXPECT_FLOAT_EQ(evaluateEnvelope(step, t, -1.0f, true), 0.25f);
}

TEST(Envelope, FewPoints) {
    Envelope none{};
    uint16_t t = 7;
    EXPECT_EQ(evaluateEnvelope(none, t, 0.3f, true), 0.3f);
    EXPECT_EQ(t, 7);
    Envelope one = makeEnvelope({{4, 80}});
    EXPECT_EQ(evaluateEnvelope(one, t, 0.3f, true), 1.0f);
    EXPECT_EQ(t, 7);
}

TEST(Envelope, SustainHoldsWhileTheKeyIsHeld) {
    Envelope e = makeEnvelope({{0, 64}, {10, 0}});
    e.sustainEnabled = 1;
    uint16_t t = 0;
    evaluateEnvelope(e, t, 0, true);
    evaluateEnvelope(e, t, 0, true);
    EXPECT_EQ(t, 0);
    evaluateEnvelope(e, t, 0, false);
    EXPECT_EQ(t, 1);
    // A sustain index beyond the points names no point: no sustain, and nothing read outside, also where
    // the unused entries hold the tick.
    e.points[2] = e.points[11] = {1, 0};
    for (uint8_t index : {2, 11, 200}) {
        e.sustainPoint = index;
        t = 1;
        evaluateEnvelope(e, t, 0, true);
        EXPECT_EQ(t, 2) << int(index);
    }
}

TEST(Envelope, LoopReturnsToItsStart) {
    Envelope e = makeEnvelope({{0, 0}, {10, 64}, {20, 0}});
    e.loopEnabled = 1;
    e.loopStartPoint = 1;
    e.loopEndPoint = 2;
    uint16_t t = 20;
    EXPECT_FLOAT_EQ(evaluateEnvelope(e, t, 0, true), 1.0f);
    EXPECT_EQ(t, 11);
    t = 25;
    EXPECT_FLOAT_EQ(evaluateEnvelope(e, t, 0, true), 0.5f); // 15: halfway down
}

TEST(Envelope, FadeoutAfterKeyOff) {
    XmModule song;
    song.channels = 1;
    song.addPattern(1);
    XmInstrument ins = makeInstrument({1});
    ins.volumeEnvelope.points = {{0, 64}, {10, 64}};
    ins.volumeEnvelope.type = 1;
    ins.fadeout = 128;
    ins.panningEnvelope.points = {{0, 0}, {4, 64}};
    ins.panningEnvelope.type = 1;
    song.instruments.push_back(ins);
    auto p = loadPlayer(writeXm(song));
    PlayerChannel& c = p->channels[0];
    c.instrument = &p->instruments[0];
    c.keyHeld = 1;
    stepEnvelopes(c);
    EXPECT_EQ(c.fadeoutVolume, 1.0f);
    EXPECT_EQ(c.envelopePanning, 0.0f);
    stepEnvelopes(c);
    EXPECT_EQ(c.envelopePanning, 0.25f);
    c.keyHeld = 0;
    stepEnvelopes(c);
    EXPECT_FLOAT_EQ(c.fadeoutVolume, 1.0f - 1.0f / 256.0f);
    for (int i = 0; i < 255; ++i) stepEnvelopes(c);
    EXPECT_EQ(c.fadeoutVolume, 0.0f);
    stepEnvelopes(c);
    EXPECT_EQ(c.fadeoutVolume, 0.0f);

    // Without a volume envelope there is no fadeout.
    p->instruments[0].volumeEnvelope.enabled = 0;
    c.fadeoutVolume = 1.0f;
    stepEnvelopes(c);
    EXPECT_EQ(c.fadeoutVolume, 1.0f);
}

} // namespace
