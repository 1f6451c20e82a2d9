// The player heard from outside: tiny modules rendered through renderFrames, and the left and right
// output compared with levels, pan positions and pitches worked out from the format's rules (volume and
// pan laws, the gain ramp, the period arithmetic of slides and vibratos, envelope points).
#include "music/mixer.h"
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace music;

namespace {

// Interleaved stereo frames of a module played from its start.
std::vector<float> render(const XmModule& song, uint32_t frames, uint32_t rate = 44100) {
    PlayerPtr player = loadPlayer(writeXm(song), rate);
    std::vector<float> out(2 * size_t(frames));
    if (player) renderFrames(player.get(), out.data(), frames);
    return out;
}

// A constant sample (point value 64, half scale) on a loop: every output frame is 0.5 x gain x the
// output amplification 0.25, so a frame shows the channel's gain directly.
constexpr float kConstantLevel = 0.5f * 0.25f;

// At tempo 125 and 44100 Hz a tick is 882 frames; the gain ramp (1/128 per frame) has settled by the end.
constexpr uint32_t kLevelTick = 882;
float leftAtTickEnd(const std::vector<float>& out, uint32_t tick) {
    return out[2 * size_t((tick + 1) * kLevelTick - 1)];
}
float rightAtTickEnd(const std::vector<float>& out, uint32_t tick) {
    return out[2 * size_t((tick + 1) * kLevelTick - 1) + 1];
}

TEST(Listening, LevelsFollowVolumeKeyOffAndTheGainRamp) {
    // One channel panned hard left, speed 2.
    XmModule song = makeSong(5, 1, 2);
    song.instruments[0].samples[0].panning = 0;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, EffectSetVolume, 16};
    song.cell(0, 1, 0) = {kMiddleC, 0, 0, 0, 0}; // a note without instrument keeps the volume
    song.cell(0, 2, 0) = {0, 0, 0, EffectSetVolume, 64};
    song.cell(0, 3, 0) = {0, 0, 0, EffectSetVolume, 0};
    song.cell(0, 4, 0) = {kMiddleC, 1, 0, EffectKeyOff, 0}; // key off on the row's first tick
    const std::vector<float> out = render(song, 10 * kLevelTick);

    const float expected[10] = {0.25f, 0.25f, 0.25f, 0.25f, 1, 1, 0, 0, 0, 0}; // volume per tick
    for (uint32_t tick = 0; tick < 10; ++tick) {
        EXPECT_FLOAT_EQ(leftAtTickEnd(out, tick), kConstantLevel * expected[tick]) << "tick " << tick;
        EXPECT_EQ(rightAtTickEnd(out, tick), 0.0f) << "tick " << tick;
    }
    // Volume 0 at tick 6: the gain falls by 1/128 per frame from the tick's first frame on.
    const size_t drop = 6 * kLevelTick;
    for (uint32_t k : {0u, 1u, 32u, 64u, 127u, 128u, 200u})
        EXPECT_FLOAT_EQ(out[2 * (drop + k)], kConstantLevel * std::max(0.0f, 1.0f - float(k) / 128.0f)) << k;
}

TEST(Listening, PanningEnvelopeSwingsAcrossTheWholeFieldAndHoldsAtItsSustain) {
    XmModule song = makeSong(1, 1, 12);
    XmInstrument& ins = song.instruments[0];
    ins.samples[0].panning = 128;
    // Pan from hard left to hard right over four ticks, held at point 1 while the key is held.
    ins.panningEnvelope.points = {{0, 0}, {4, 64}, {8, 32}, {12, 0}};
    ins.panningEnvelope.type = XmEnvelopeOn | XmEnvelopeSustain;
    ins.panningEnvelope.sustainPoint = 1;
    // A flat volume envelope whose sustain and loop points are other ones.
    ins.volumeEnvelope.points = {{0, 64}, {4, 64}, {8, 64}, {12, 64}};
    ins.volumeEnvelope.type = XmEnvelopeOn;
    ins.volumeEnvelope.sustainPoint = 2;
    ins.volumeEnvelope.loopStart = 2;
    ins.volumeEnvelope.loopEnd = 3;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    const std::vector<float> out = render(song, 12 * kLevelTick);

    for (uint32_t tick = 0; tick < 12; ++tick) {
        // Envelope panning: 0, 1/4, ... 1 from tick 4 on. Around a sample panning of 128/255 it swings
        // by 2 x (0.5 - |128/255 - 0.5|) = 254/255, from 1/255 to 255/255.
        const float envelope = std::min(1.0f, float(tick) / 4.0f);
        const float pan = 128.0f / 255.0f + (envelope - 0.5f) * 254.0f / 255.0f;
        EXPECT_NEAR(leftAtTickEnd(out, tick), kConstantLevel * std::sqrt(1.0f - pan), 1e-6f)
            << "tick " << tick;
        EXPECT_NEAR(rightAtTickEnd(out, tick), kConstantLevel * std::sqrt(pan), 1e-6f) << "tick " << tick;
    }
}

TEST(Listening, EachChannelSoundsWhereItsOwnPanningPlacesIt) {
    // Two channels at speed 2: channel 0 plays a constant 64 (0.5), channel 1 a constant 16 (0.125), so
    // both sides of every frame are a known sum of the two channels' gains.
    XmModule song = makeSong(4, 2, 2);
    song.instruments[0].samples[0].panning = 200;
    song.instruments.push_back(makeInstrument(std::vector<int16_t>(1000, 16), XmLoop::Forward, 0, 1000));
    song.instruments[1].samples[0].panning = 0;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};                   // sample panning 200
    song.cell(0, 0, 1) = {kMiddleC, 2, 0xC3, EffectSetVolume, 32}; // column panning 3 x 17, volume 1/2
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetPanning, 64};
    song.cell(0, 1, 1) = {0, 0, 0x20, 0, 0}; // volume 16/64; the panning stays
    song.cell(0, 2, 0) = {0, 1, 0, 0, 0};    // the instrument alone: back to the sample's panning
    // Volume 0: both sides fall silent, the far side's gain reaching 0 after the near one's.
    song.cell(0, 3, 0) = {0, 0, 0, EffectSetVolume, 0};
    song.cell(0, 3, 1) = {0, 0, 0x10, 0, 0};
    const std::vector<float> out = render(song, 8 * kLevelTick);

    struct Gains {
        float left0, right0, left1, right1;
    };
    // Target gains: sqrt(1 - p) and sqrt(p), times the volume.
    auto gains = [](float pan0, float volume1) {
        const float pan1 = 51.0f / 255.0f;
        return Gains{std::sqrt(1.0f - pan0), std::sqrt(pan0), volume1 * std::sqrt(1.0f - pan1),
                     volume1 * std::sqrt(pan1)};
    };
    const Gains row[4] = {gains(200.0f / 255.0f, 0.5f),
                          gains(64.0f / 255.0f, 0.25f),
                          gains(200.0f / 255.0f, 0.25f),
                          {0, 0, 0, 0}};
    auto mix = [](float channel0, float channel1) { return 0.25f * (0.5f * channel0 + 0.125f * channel1); };
    for (uint32_t tick = 0; tick < 8; ++tick) {
        const Gains& g = row[tick / 2];
        EXPECT_NEAR(leftAtTickEnd(out, tick), mix(g.left0, g.left1), 1e-6f) << "tick " << tick;
        EXPECT_NEAR(rightAtTickEnd(out, tick), mix(g.right0, g.right1), 1e-6f) << "tick " << tick;
    }
    // Each side of each channel ramps on its own by 1/128 a frame, up from 0 after the first note and
    // from the old gain towards the new one after row 1's changes (frame k of a tick uses k steps).
    auto ramp = [](float from, float to, uint32_t k) {
        const float moved = float(k) / 128.0f;
        return from < to ? std::min(from + moved, to) : std::max(from - moved, to);
    };
    for (uint32_t k : {40u, 100u}) {
        const Gains& g = row[0];
        EXPECT_NEAR(out[2 * k], mix(ramp(0, g.left0, k), ramp(0, g.left1, k)), 1e-6f) << k;
        EXPECT_NEAR(out[2 * k + 1], mix(ramp(0, g.right0, k), ramp(0, g.right1, k)), 1e-6f) << k;
    }
    for (uint32_t k : {20u, 50u}) {
        const Gains &a = row[0], &b = row[1];
        const size_t frame = 2 * kLevelTick + k;
        EXPECT_NEAR(out[2 * frame], mix(ramp(a.left0, b.left0, k), ramp(a.left1, b.left1, k)), 1e-6f) << k;
        EXPECT_NEAR(out[2 * frame + 1], mix(ramp(a.right0, b.right0, k), ramp(a.right1, b.right1, k)), 1e-6f)
            << k;
    }
}

TEST(Listening, ANewNoteStartsTremoloTremorAndFadeoutOver) {
    // Hard left at speed 3 and volume 1/2, with a flat volume envelope and a fadeout of 1/16 a tick.
    XmModule song = makeSong(6, 1, 3);
    XmInstrument& ins = song.instruments[0];
    ins.samples[0].panning = 0;
    ins.volumeEnvelope.points = {{0, 64}, {8, 64}};
    ins.volumeEnvelope.type = XmEnvelopeOn;
    ins.fadeout = 2048;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0x30, EffectTremolo, 0x88};
    song.cell(0, 1, 0) = {kMiddleC, 0, 0, EffectTremolo, 0}; // notes without instrument keep the volume
    song.cell(0, 2, 0) = {0, 0, 0, EffectTremor, 0x00};
    song.cell(0, 3, 0) = {kMiddleC, 0, 0, 0, 0};
    song.cell(0, 4, 0) = {kXmKeyOff, 0, 0, 0, 0};
    song.cell(0, 5, 0) = {kMiddleC, 0, 0, 0, 0};
    const std::vector<float> out = render(song, 18 * kLevelTick);

    // Tremolo speed 8, depth 8 on tick 2: sin(2 pi x 8/64) x 8/15 on top of 1/2, gone with the next note,
    // which also starts the tremolo's phase over: phase 0 on tick 4, phase 8 on tick 5, whose offset stays
    // while no note comes.
    // Tremor T00 plays tick 7 and mutes tick 8, until the next note. Key off starts the fadeout (1 - 1/16
    // per tick from the key-off tick on), which the next note ends.
    const float tremolo = 0.5f + std::sin(2.0f * 3.14159265f * 8.0f / 64.0f) * 8.0f / 15.0f;
    const float expected[18] = {0.5f,           0.5f,           tremolo,        0.5f, 0.5f, tremolo,
                                tremolo,        tremolo,        0.0f,           0.5f, 0.5f, 0.5f,
                                0.5f * 15 / 16, 0.5f * 14 / 16, 0.5f * 13 / 16, 0.5f, 0.5f, 0.5f};
    for (uint32_t tick = 0; tick < 18; ++tick) {
        EXPECT_NEAR(leftAtTickEnd(out, tick), kConstantLevel * expected[tick], 1e-6f) << "tick " << tick;
        EXPECT_EQ(rightAtTickEnd(out, tick), 0.0f) << "tick " << tick;
    }
}

TEST(Listening, VolumeEnvelopesLoopStepAndRestartWithANote) {
    // Channel 0 (hard left): points (0, 64), (2, 0), (4, 64) looping from point 1 to point 2, so from
    // tick 4 on the envelope goes back to tick 2. Channel 1 (hard right): a vertical step, (0, 64),
    // (4, 0), (4, 64), (8, 64); at tick 4 the first segment that holds the tick gives its end, 0.
    XmModule song = makeSong(3, 2, 4);
    XmInstrument& looping = song.instruments[0];
    looping.samples[0].panning = 0;
    looping.volumeEnvelope.points = {{0, 64}, {2, 0}, {4, 64}};
    looping.volumeEnvelope.loopStart = 1;
    looping.volumeEnvelope.loopEnd = 2;
    looping.volumeEnvelope.type = XmEnvelopeOn | XmEnvelopeLoop;
    song.instruments.push_back(makeInstrument(std::vector<int16_t>(1000, 64), XmLoop::Forward, 0, 1000));
    XmInstrument& step = song.instruments[1];
    step.samples[0].panning = 255;
    step.volumeEnvelope.points = {{0, 64}, {4, 0}, {4, 64}, {8, 64}};
    step.volumeEnvelope.type = XmEnvelopeOn;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 0, 1) = {kMiddleC, 2, 0, 0, 0};
    song.cell(0, 2, 0) = {kMiddleC, 0, 0, 0, 0}; // a new note starts the envelope over
    const std::vector<float> out = render(song, 12 * kLevelTick);

    const float left[12] = {1, 0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f, 1, 0.5f, 0, 0.5f};
    const float right[12] = {1, 0.75f, 0.5f, 0.25f, 0, 1, 1, 1, 1, 1, 1, 1};
    for (uint32_t tick = 0; tick < 12; ++tick) {
        EXPECT_NEAR(leftAtTickEnd(out, tick), kConstantLevel * left[tick], 1e-6f) << "tick " << tick;
        EXPECT_NEAR(rightAtTickEnd(out, tick), kConstantLevel * right[tick], 1e-6f) << "tick " << tick;
    }
}

TEST(Listening, ForwardLoopPlaysEachPointOnceAtStepOne) {
    // Note value 48 plays 8363 points a second: at an output rate of 8363 each frame takes the next point.
    std::vector<int16_t> ramp;
    for (int16_t i = 1; i <= 40; ++i) ramp.push_back(i);
    XmModule song = makeSong(1, 1);
    song.instruments[0] = makeInstrument(ramp, XmLoop::Forward, 0, 40);
    song.instruments[0].samples[0].panning = 0;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    const std::vector<float> out = render(song, 1000, 8363);
    // From frame 128 on the gain has ramped up to 1 and the crossfade is over.
    for (size_t frame = 128; frame < 1000; ++frame)
        ASSERT_EQ(out[2 * frame], float(frame % 40 + 1) / 128.0f * 0.25f) << frame;
}

// At tempo 50 and 44100 Hz a tick is 2205 frames.
constexpr uint32_t kPitchTick = 2205;
constexpr uint32_t kPitchRate = 44100;

// Points per second played in a tick, from the sign changes of a two-point (+, -) looping sample on one
// side: each point the position passes flips the sign. The first frames of the tick (crossfade, gain
// ramp) are left out; the count is exact to one point.
double pointsPerSecond(const std::vector<float>& out, uint32_t tick, int side) {
    const size_t begin = size_t(tick) * kPitchTick + 100, end = size_t(tick + 1) * kPitchTick;
    int changes = 0;
    for (size_t f = begin + 1; f < end; ++f)
        if ((out[2 * f + side] > 0) != (out[2 * (f - 1) + side] > 0)) ++changes;
    return double(changes) * kPitchRate / double(end - begin);
}

// The linear frequency table: 8363 Hz at period 4608, an octave per 768 period units.
double linearHz(double period) {
    return 8363.0 * std::exp2((4608.0 - period) / 768.0);
}

TEST(Listening, PitchesFollowPortamentoVibratoAndAutoVibrato) {
    constexpr uint8_t kC5 = kMiddleC + 12; // period 3840
    XmModule song = makeSong(9, 2, 4);
    song.tempo = 50;
    // Channel 0 plays hard left, channel 1 hard right with a square auto-vibrato.
    song.instruments[0] = makeInstrument({100, -100}, XmLoop::Forward, 0, 2);
    song.instruments[0].samples[0].panning = 0;
    song.instruments.push_back(makeInstrument({100, -100}, XmLoop::Forward, 0, 2));
    XmInstrument& vibrato = song.instruments[1];
    vibrato.samples[0].panning = 255;
    vibrato.vibratoType = 1; // square
    vibrato.vibratoDepth = 60;
    vibrato.vibratoRate = 32;

    // Tone portamento at 0x28 (160 period units a tick) down to C-4 and back up to C-5 with the volume
    // column's F0, which keeps the remembered speed; then square vibrato, speed 8, depth 15.
    song.cell(0, 0, 0) = {kC5, 1, 0, EffectTonePortamento, 0x28};
    song.cell(0, 1, 0) = {kMiddleC, 0, 0, EffectTonePortamento, 0};
    song.cell(0, 2, 0) = {0, 0, 0, EffectTonePortamento, 0};
    song.cell(0, 3, 0) = {kC5, 0, 0xF0, 0, 0};
    song.cell(0, 4, 0) = {0, 0, 0xF0, 0, 0};
    song.cell(0, 5, 0) = {0, 0, 0, EffectExtended, 0x42};
    song.cell(0, 6, 0) = {kC5, 0, 0, EffectVibrato, 0x8F};
    song.cell(0, 7, 0) = {0, 0, 0, EffectVibrato, 0};
    song.cell(0, 8, 0) = {kC5, 0, 0, EffectVibrato, 0}; // a new note starts the vibrato over
    song.cell(0, 0, 1) = {kC5, 2, 0, 0, 0};
    const std::vector<float> out = render(song, 36 * kPitchTick, kPitchRate);

    // Channel 0, period per tick. A slide that would pass its target stops on it. Vibrato depth 15 is
    // 2 quarter semitones (32 period units): up while the square is -1 (phases 0-31), down after.
    const double left[36] = {3840, 3840, 3840, 3840, // C-5
                             3840, 4000, 4160, 4320, // sliding to C-4 (4608)
                             4320, 4480, 4608, 4608, //
                             4608, 4448, 4288, 4128, // F0: sliding back to C-5, not restarted
                             4128, 3968, 3840, 3840, //
                             3840, 3840, 3840, 3840, // E42: square vibrato
                             3840, 3808, 3808, 3808, // phases 8, 16, 24
                             3808, 3872, 3872, 3872, // phases 32, 40, 48
                             3840, 3808, 3808, 3808};
    for (uint32_t tick = 0; tick < 36; ++tick)
        EXPECT_NEAR(pointsPerSecond(out, tick, 0), linearHz(left[tick]), 50.0) << "left, tick " << tick;

    // Channel 1: the auto-vibrato phase is (tick x rate) >> 2 = 8 per tick, so the square of depth 60
    // (one quarter semitone, 16 period units) is down for four ticks, then up for four.
    for (uint32_t tick = 0; tick < 36; ++tick) {
        const double period = 3840.0 + (tick / 4 % 2 ? -16.0 : 16.0);
        EXPECT_NEAR(pointsPerSecond(out, tick, 1), linearHz(period), 50.0) << "right, tick " << tick;
    }
}

TEST(Listening, TheVolumeColumnVibratoLeavesItsLastOffsetOnTheNote) {
    constexpr uint8_t kC5 = kMiddleC + 12; // period 3840
    XmModule song = makeSong(4, 1, 4);
    song.tempo = 50;
    song.instruments[0] = makeInstrument({100, -100}, XmLoop::Forward, 0, 2);
    song.instruments[0].samples[0].panning = 0;
    // Sine vibrato at speed 8, depth 15; then the volume column's vibrato (B0) goes on from the same memory
    // and phase; then a row without vibrato; then the instrument's number with a tone portamento, which
    // resets the note to its sample's defaults, vibrato offset included, and keeps its period.
    song.cell(0, 0, 0) = {kC5, 1, 0, EffectVibrato, 0x8F};
    song.cell(0, 1, 0) = {0, 0, 0xB0, 0, 0};
    song.cell(0, 3, 0) = {0, 1, 0, EffectTonePortamento, 0};
    const std::vector<float> out = render(song, 16 * kPitchTick, kPitchRate);

    // Phase f gives an offset of sin(2 pi f / 64) x 2 quarter semitones, 32 period units at depth 15.
    auto vibrato = [](int phase) { return 3840.0 - 32.0 * std::sin(2.0 * 3.14159265358979 * phase / 64.0); };
    // Effect 4 steps on ticks 1-3 (phases 8, 16, 24) and its offset holds into the column's row, which
    // steps on (phases 32, 40, 48). The column's vibrato leaves the channel's vibrato inactive, so the row
    // after it keeps the last offset instead of returning to the note's pitch; the reset brings it back.
    const double period[16] = {3840,        vibrato(8),  vibrato(16), vibrato(24), //
                               vibrato(24), vibrato(32), vibrato(40), vibrato(48), //
                               vibrato(48), vibrato(48), vibrato(48), vibrato(48), //
                               3840,        3840,        3840,        3840};
    for (uint32_t tick = 0; tick < 16; ++tick)
        EXPECT_NEAR(pointsPerSecond(out, tick, 0), linearHz(period[tick]), 50.0) << "tick " << tick;
}

// Amiga periods of the octave from C-2 to C-3; each octave lower doubles them.
constexpr double kAmigaOctave[13] = {1712, 1616, 1525, 1440, 1357, 1281, 1209,
                                     1141, 1077, 1017, 961,  907,  856};

// The Amiga frequency of a note value: its period interpolated between the two semitones around it.
double amigaHz(double noteValue) {
    const int note = int(std::floor(noteValue)), octave = note / 12, semitone = note % 12;
    const double fraction = noteValue - note;
    const double period =
        (kAmigaOctave[semitone] + fraction * (kAmigaOctave[semitone + 1] - kAmigaOctave[semitone])) *
        std::exp2(2 - octave);
    return 7093789.0 / (2.0 * period);
}

TEST(Listening, AmigaArpeggiosKeepTheirIntervalsInTheLowestOctaves) {
    // Amiga frequencies, speed 3: an arpeggio plays the note, an octave up (+y) and a fifth up (+x). Both
    // samples are tuned half a semitone up, so every note lies between two semitones of the table.
    XmModule song = makeSong(2, 2, 3);
    song.linearFrequencies = false;
    song.tempo = 50;
    song.instruments[0] = makeInstrument({100, -100}, XmLoop::Forward, 0, 2);
    song.instruments[0].samples[0].panning = 0;
    song.instruments.push_back(song.instruments[0]);
    song.instruments[1].samples[0].panning = 255;
    for (XmInstrument& ins : song.instruments) ins.samples[0].finetune = 64;
    // Left: C-0, then C-2; right: C-1, then C-3 (notes 1, 25, 13, 37).
    song.cell(0, 0, 0) = {1, 1, 0, EffectArpeggio, 0x7C};
    song.cell(0, 1, 0) = {25, 0, 0, EffectArpeggio, 0x7C};
    song.cell(0, 0, 1) = {13, 2, 0, EffectArpeggio, 0x7C};
    song.cell(0, 1, 1) = {37, 0, 0, EffectArpeggio, 0x7C};
    const std::vector<float> out = render(song, 6 * kPitchTick, kPitchRate);

    const double semitones[3] = {0, 12, 7};
    const double left[2] = {0.5, 24.5}, right[2] = {12.5, 36.5}; // note values with the finetune
    for (uint32_t tick = 0; tick < 6; ++tick) {
        // Counting sign changes is exact to about 21 Hz here.
        EXPECT_NEAR(pointsPerSecond(out, tick, 0), amigaHz(left[tick / 3] + semitones[tick % 3]), 30.0)
            << "left, tick " << tick;
        EXPECT_NEAR(pointsPerSecond(out, tick, 1), amigaHz(right[tick / 3] + semitones[tick % 3]), 30.0)
            << "right, tick " << tick;
    }
}

TEST(Listening, AStoppedNoteFadesIntoTheNextAndAnEmptySampleIsSilent) {
    // Left, speed 1: a constant 0.5 on a loop; a one-point sample that ends after 6 frames (8363 / 44100
    // points a frame); the looped note again. Right: a note on an empty sample, which the instrument's
    // second sample (loud) follows in memory.
    XmModule song = makeSong(3, 2, 1);
    song.instruments[0].samples[0].panning = 0;
    song.instruments.push_back(makeInstrument({64}));
    song.instruments[1].samples[0].panning = 0;
    song.instruments.push_back(makeInstrument({}));
    song.instruments[2].samples[0].panning = 255;
    song.instruments[2].samples.push_back(makeInstrument(std::vector<int16_t>(64, 100)).samples[0]);
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {kMiddleC, 2, 0, 0, 0};
    song.cell(0, 2, 0) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 0, 1) = {kMiddleC, 3, 0, 0, 0};
    const std::vector<float> out = render(song, 3 * kLevelTick + 100);

    // The empty sample plays nothing for as long as its note lasts, settled gains or not.
    for (size_t frame = 0; frame < out.size() / 2; ++frame) ASSERT_EQ(out[2 * frame + 1], 0.0f) << frame;

    // The one-point note crossfades from the loop's 0.5 to its own 0.5, then stops: silence.
    for (uint32_t k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(out[2 * (kLevelTick + k)], kConstantLevel) << k;
    for (uint32_t k = 6; k < kLevelTick; ++k) ASSERT_EQ(out[2 * (kLevelTick + k)], 0.0f) << k;

    // The next note's tail is the stopped note's crossfade at frame 6: the loop's 0.5 faded by 1 - 6/32.
    // The tail is refilled in place, index by index, so from index 7 on the faded value fades once more.
    // The new note blends from that tail into its own 0.5 over 32 frames.
    const float faded = 0.5f * (1.0f - 6.0f / 32.0f);
    for (uint32_t k = 0; k < 40; ++k) {
        const float tail = k <= 6 ? faded : faded * (1.0f - 6.0f / 32.0f);
        const float value = k < 32 ? tail + (0.5f - tail) * float(k) / 32.0f : 0.5f;
        EXPECT_NEAR(out[2 * (2 * kLevelTick + k)], 0.25f * value, 1e-6f) << k;
    }
}

} // namespace
