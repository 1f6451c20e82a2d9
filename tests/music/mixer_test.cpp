// The mixer: tick clock, loop-limit silence, sample fetch through loops, gain ramps, crossfade, output gain,
// settled channels against the frame-by-frame rule.
#include "music/mixer.h"
#include "music/replayer.h"
#include "music/wide_mix.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>

using namespace music;

namespace {

std::vector<uint64_t> tickFrames(uint16_t tempo, int ticks) {
    XmModule song = makeSong(1, 1, 31);
    song.tempo = tempo;
    auto p = loadPlayer(writeXm(song));
    std::vector<uint64_t> frames;
    float frame[2];
    uint16_t lastTick = 0xFFFF;
    while (int(frames.size()) < ticks) {
        // advanceTick runs at the start of the frame that notices the countdown has run out
        uint64_t index = p->framesRendered;
        renderFrames(p.get(), frame, 1);
        if (p->tick != lastTick) frames.push_back(index);
        lastTick = p->tick;
    }
    return frames;
}

TEST(TickClock, TempoSetsTheTickLength) {
    EXPECT_EQ(tickFrames(125, 4), (std::vector<uint64_t>{0, 882, 1764, 2646}));
    std::vector<uint64_t> frames = tickFrames(173, 30);
    const double tick = 2.5 * 44100 / 173; // 637.28...
    for (size_t k = 1; k < frames.size(); ++k) {
        uint64_t length = frames[k] - frames[k - 1];
        EXPECT_TRUE(length == 637 || length == 638) << k;
        EXPECT_NEAR(double(frames[k]), k * tick, 1.0) << k;
    }
}

TEST(TickClock, ZeroFramesChangesNothing) {
    auto p = loadPlayer(writeXm(makeSong(1)));
    float untouched[2] = {7.0f, 7.0f};
    renderFrames(p.get(), untouched, 0);
    EXPECT_EQ(p->framesRendered, 0u);
    EXPECT_EQ(p->tick, 0);
    EXPECT_EQ(p->framesToNextTick, 0.0f);
    EXPECT_EQ(untouched[0], 7.0f);
}

// A one-channel song, speed 1 at tempo 125, one row per 882 frames.
XmModule shortSong(uint16_t rows) {
    XmModule song = makeSong(rows, 1, 1);
    song.instruments[0].samples[0].panning = 0;
    song.cell(0, 0, 0) = {kMiddleC, 1, 0, 0, 0};
    return song;
}

TEST(LoopLimit, SilenceWhileTicksGoOn) {
    auto p = loadPlayer(writeXm(shortSong(2)));
    setLoopLimit(p.get(), 1);
    std::vector<float> out(2 * 882 * 2);
    renderFrames(p.get(), out.data(), 882 * 2);
    EXPECT_GT(out[2 * 1000], 0.1f);
    renderFrames(p.get(), out.data(), 882 * 2); // rows 0 and 1 again: the song has looped
    EXPECT_EQ(p->loopCount, 1);
    EXPECT_EQ(p->visitTable[0], 2);
    for (float v : out) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(p->visitTable[1], 2);
    // Row 0 comes round again and restarts its note; silent frames do not move it on.
    renderFrames(p.get(), out.data(), 100);
    EXPECT_EQ(p->visitTable[0], 3);
    float position = p->channels[0].position;
    renderFrames(p.get(), out.data(), 100);
    EXPECT_EQ(p->channels[0].position, position);
    EXPECT_EQ(p->framesRendered, 4u * 882 + 200);

    auto forever = loadPlayer(writeXm(shortSong(2)));
    renderFrames(forever.get(), out.data(), 882 * 2);
    renderFrames(forever.get(), out.data(), 882 * 2);
    EXPECT_GT(out[2 * 1000], 0.1f);
}

// A channel of a player whose first sample is given, with the crossfade over.
struct FetchFixture {
    PlayerPtr player;
    PlayerChannel* c;

    explicit FetchFixture(XmInstrument ins) {
        XmModule song;
        song.channels = 1;
        song.addPattern(1);
        song.instruments.push_back(std::move(ins));
        player = loadPlayer(writeXm(song));
        c = &player->channels[0];
        c->instrument = &player->instruments[0];
        c->sample = &player->instruments[0].samples[0];
        c->framesSinceTrigger = kCrossfadeFrames;
    }
};

std::vector<int16_t> rampPoints(int n) {
    std::vector<int16_t> points;
    for (int i = 0; i < n; ++i) points.push_back(int16_t(i));
    return points;
}

TEST(FetchSample, OneShotPlaysThroughThenStops) {
    FetchFixture f(makeInstrument(rampPoints(100)));
    f.c->step = 1.0f;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(fetchSample(*f.c), i / 128.0f) << i;
    EXPECT_EQ(f.c->position, -1.0f);
    EXPECT_EQ(fetchSample(*f.c), 0.0f);
}

TEST(FetchSample, ForwardLoopWraps) {
    FetchFixture f(makeInstrument(rampPoints(30), XmLoop::Forward, 10, 10));
    f.c->position = 18.0f;
    f.c->step = 3.0f;
    EXPECT_EQ(fetchSample(*f.c), 18 / 128.0f);
    EXPECT_EQ(f.c->position, 11.0f);
    f.c->step = 1234.5f; // far longer than the loop: still inside it
    fetchSample(*f.c);
    EXPECT_GE(f.c->position, 10.0f);
    EXPECT_LT(f.c->position, 20.0f);
}

TEST(FetchSample, PingPongReflects) {
    FetchFixture f(makeInstrument(rampPoints(30), XmLoop::PingPong, 10, 10));
    f.c->position = 19.5f;
    f.c->step = 1.0f;
    EXPECT_EQ(fetchSample(*f.c), 19 / 128.0f);
    EXPECT_EQ(f.c->position, 19.5f);
    EXPECT_EQ(f.c->forward, 0);
    for (int i = 0; i < 9; ++i) fetchSample(*f.c);
    EXPECT_EQ(f.c->position, 10.5f);
    fetchSample(*f.c);
    EXPECT_EQ(f.c->position, 10.5f); // 9.5 reflected at the loop start
    EXPECT_EQ(f.c->forward, 1);
}

TEST(FetchSample, PingPongEndingAtTheSampleEndStaysInside) {
    for (float step : {1.0f, 0.25f, 3.0f, 10.0f, 25.0f, 999.0f}) {
        FetchFixture f(makeInstrument(rampPoints(20), XmLoop::PingPong, 10, 10));
        f.c->step = step;
        for (int i = 0; i < 500; ++i) {
            float v = fetchSample(*f.c);
            ASSERT_GE(f.c->position, 0.0f) << step;
            ASSERT_LT(f.c->position, 20.0f) << step;
            if (i > 100) {
                ASSERT_GE(v, 10 / 128.0f) << step; // once in the loop it stays there
            }
        }
    }
}

TEST(FetchSample, SixteenBitScale) {
    XmInstrument ins;
    XmSample s;
    s.sixteenBit = true;
    s.points = {-32768, 16384};
    ins.samples.push_back(s);
    FetchFixture f(ins);
    f.c->step = 1.0f;
    EXPECT_EQ(fetchSample(*f.c), -1.0f);
    EXPECT_EQ(fetchSample(*f.c), 0.5f);
}

TEST(Ramp, FullSwingTakes128Frames) {
    auto p = loadPlayer(writeXm(shortSong(1)));
    std::vector<float> out(2 * 200);
    renderFrames(p.get(), out.data(), 127);
    EXPECT_FLOAT_EQ(p->channels[0].currentLeftGain, 127 / 128.0f);
    renderFrames(p.get(), out.data(), 1);
    EXPECT_EQ(p->channels[0].currentLeftGain, 1.0f);
    EXPECT_EQ(p->channels[0].currentRightGain, 0.0f);
    renderFrames(p.get(), out.data(), 10);
    EXPECT_EQ(p->channels[0].currentLeftGain, 1.0f);
}

TEST(Crossfade, NewNoteBlendsFromTheOldSound) {
    XmModule song = shortSong(2);
    XmInstrument low = makeInstrument(std::vector<int16_t>(1000, -64), XmLoop::Forward, 0, 1000);
    low.samples[0].panning = 0;
    song.instruments.push_back(low);
    song.cell(0, 1, 0) = {kMiddleC, 2, 0, 0, 0};
    auto p = loadPlayer(writeXm(song));
    std::vector<float> out(2 * 2000);
    renderFrames(p.get(), out.data(), 2000);
    // Row 1 starts at frame 882 with the gains long settled at 1 (left): old 0.5, new -0.5.
    for (int k = 0; k <= 40; ++k) {
        float expected = k < 32 ? 0.5f - k / 32.0f : -0.5f;
        ASSERT_NEAR(out[2 * (882 + k)], expected * 0.25f, 1e-6f) << k;
    }
    // The first note had nothing to blend from: it fades in from silence.
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[2 * 16], 0.5f * 16 / 32 * 16 / 128.0f * 0.25f, 1e-6f);
}

TEST(OutputGain, QuarterTimesGlobalVolumeWithoutClipping) {
    XmModule song = makeSong(2, 8, 1);
    song.instruments[0] = makeInstrument(std::vector<int16_t>(1000, 127), XmLoop::Forward, 0, 1000);
    song.instruments[0].samples[0].panning = 0;
    for (uint16_t ch = 0; ch < 8; ++ch) song.cell(0, 0, ch) = {kMiddleC, 1, 0, 0, 0};
    song.cell(0, 1, 0) = {0, 0, 0, EffectSetGlobalVolume, 0x20};
    auto p = loadPlayer(writeXm(song));
    std::vector<float> out(2 * 1000);
    renderFrames(p.get(), out.data(), 1000);
    EXPECT_NEAR(out[2 * 500], 8 * (127 / 128.0f) * 0.25f, 1e-5f); // about 1.98: passed on as it is
    EXPECT_EQ(out[2 * 500 + 1], 0.0f);
    renderFrames(p.get(), out.data(), 1000);
    EXPECT_NEAR(out[2 * 500], 8 * (127 / 128.0f) * 0.25f * 0.5f, 1e-5f);

    p->channels[3].mute = 1;
    renderFrames(p.get(), out.data(), 10);
    EXPECT_NEAR(out[0], 7 * (127 / 128.0f) * 0.25f * 0.5f, 1e-5f);
}

// One channel against the frame-by-frame rule written out here: read the point under the position,
// blend it with the old sound's tail while the crossfade runs, add point x gain, move by the step
// through the loop, ramp the gains one step towards their targets, scale the sum by the output gain.
// Every float must come out bit for bit, over 8- and 16-bit samples, the three loop types, long samples
// (positions through many binades), steps from a standstill to many points, both ping-pong directions,
// silent channels, gains that ramp before they settle, crossfades under way and render calls of any
// length. The first cases land exactly on a loop end (one of them the sample's end), a binade's start
// or end, and cross a binade's start by less than one float spacing.
struct ChannelCase {
    XmLoop loop;
    bool forward;
    float step, position;
    uint32_t shortLoop = 0; // a sample of this many points, all of them looped
};

void checkChannelMix() {
    std::mt19937 random(25);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    std::vector<ChannelCase> cases = {
        {XmLoop::Forward, true, 1.0f, 10.0f},    {XmLoop::Forward, true, 0.5f, 100.5f},
        {XmLoop::PingPong, false, 0.5f, 70.0f},  {XmLoop::PingPong, false, 1.0f + 3.0f / (1 << 20), 65.0f},
        {XmLoop::PingPong, true, 0.375f, 1.0f},  {XmLoop::None, true, 0.25f, 3.0f},
        {XmLoop::None, true, 1.0f / 1024, 0.0f}, {XmLoop::Forward, true, 0.0f, 33.0f},
        {XmLoop::Forward, true, 1e-7f, 33.0f},   {XmLoop::PingPong, false, 7.25f, 900.0f},
        {XmLoop::Forward, true, 1.5f, 0.0f},     {XmLoop::PingPong, true, 3.0f, 2.0f},
        {XmLoop::PingPong, true, 1.0f, 20.0f}};
    for (int trial = 0; trial < 60; ++trial) {
        auto loop = XmLoop(trial % 3);
        bool forward = loop != XmLoop::PingPong || trial % 4 < 2;
        // Steps of 1/64 to a quarter of a 3000-point loop; positions on a grid of eighths or anywhere.
        float step = float(std::exp(uniform(-6.0, 0.0)) * 750), position = float(uniform(0.0, 3000.0));
        cases.push_back({loop, forward, step, trial % 2 ? std::floor(position * 8) / 8 : position});
    }
    // Loops of a few dozen points at the pitches of a chip tune: each pass climbs through a handful of
    // binades, and the position after a wrap is wherever the float rounding left it. (Drawn from a
    // generator of their own, so that the cases above keep their samples and gains.)
    std::mt19937 chip(32);
    for (int trial = 0; trial < 24; ++trial) {
        auto loop = trial % 3 ? XmLoop::Forward : XmLoop::PingPong;
        const uint32_t points = trial % 4 ? 32 : 16 + uint32_t(trial);
        const float step = float(std::exp(std::uniform_real_distribution<double>(-2.5, 0.1)(chip))),
                    position = float(std::uniform_real_distribution<double>(0.0, points)(chip));
        cases.push_back({loop, loop == XmLoop::Forward || trial % 2 == 0, step, position, points});
    }
    // Slow steps through long samples: runs and stretches whose points lie close together.
    std::mt19937 slow(64);
    for (int trial = 0; trial < 24; ++trial) {
        auto loop = XmLoop(trial % 3);
        const float step = float(std::exp(std::uniform_real_distribution<double>(-4.0, 0.7)(slow))),
                    position = float(std::uniform_real_distribution<double>(0.0, 2990.0)(slow));
        cases.push_back({loop, loop != XmLoop::PingPong || trial % 4 < 2, step, position});
    }
    std::mt19937 ramps(128); // gains to ramp from and crossfade tails, drawn apart for the same reason
    auto fromRamps = [&](double low, double high) {
        return float(std::uniform_real_distribution<double>(low, high)(ramps));
    };
    int sounding = 0;
    for (size_t trial = 0; trial < cases.size(); ++trial) {
        const ChannelCase& t = cases[trial];
        const bool wide = trial % 2;
        // Loops from the sample's start or from inside it, up to the end or short of it.
        const uint32_t length = t.shortLoop      ? t.shortLoop
                                : trial % 5 == 0 ? 70000
                                                 : 3000 + uint32_t(random() % 3000);
        const uint32_t loopStart =
            t.loop == XmLoop::None || trial % 3 == 0 || t.shortLoop ? 0 : uint32_t(random() % 60);
        const uint32_t loopLength = t.loop == XmLoop::None ? 0
                                    : t.shortLoop          ? length
                                                           : length - loopStart - (trial % 4 < 2 ? 0 : 500);
        XmSample sample;
        sample.sixteenBit = wide;
        for (uint32_t i = 0; i < length; ++i)
            sample.points.push_back(int16_t(int(random() % (wide ? 65536 : 256)) - (wide ? 32768 : 128)));
        sample.loop = t.loop;
        sample.loopStart = loopStart * (wide ? 2 : 1);
        sample.loopLength = loopLength * (wide ? 2 : 1);
        XmInstrument instrument;
        instrument.samples.push_back(sample);
        XmModule song;
        song.channels = 1;
        song.addPattern(1);
        song.instruments.push_back(instrument);
        auto p = loadPlayer(writeXm(song));
        p->framesToNextTick = 1e6f; // no tick meanwhile
        p->globalVolume = float(uniform(0.1, 1.0));
        PlayerChannel& c = p->channels[0];
        c.instrument = &p->instruments[0];
        c.sample = &p->instruments[0].samples[0];
        // Some channels silent: they still move through their sample.
        const bool silent = trial % 7 == 3;
        c.currentLeftGain = c.targetLeftGain = silent ? 0.0f : float(uniform(0.0, 1.0));
        c.currentRightGain = c.targetRightGain = silent ? 0.0f : float(uniform(0.0, 1.0));
        // Some gains still ramp; some channels are inside the crossfade from an old sound.
        if (trial % 5 == 1) {
            c.currentLeftGain = fromRamps(0.0, 1.0);
            c.currentRightGain = fromRamps(0.0, 1.0);
        }
        c.framesSinceTrigger = trial % 6 == 2 ? uint32_t(ramps() % kCrossfadeFrames) : kCrossfadeFrames;
        for (float& value : c.crossfadeTail) value = fromRamps(-1.0, 1.0);
        float leftGain = c.currentLeftGain, rightGain = c.currentRightGain;
        auto ramp = [&](float gain, float target) {
            return gain < target ? std::min(gain + p->rampStep, target)
                                 : std::max(gain - p->rampStep, target);
        };
        c.step = t.step;
        c.position = t.position;
        c.forward = t.forward;

        const float loopEnd = float(loopStart + loopLength), scale = wide ? 1.0f / 32768 : 1.0f / 128;
        const float outputGain = p->amplification * p->globalVolume;
        float position = t.position;
        bool forward = t.forward;
        const uint32_t frames = 30000;
        std::vector<float> expected(2 * frames, 0.0f), out(2 * frames), positions(frames, -1.0f);
        for (uint32_t i = 0; i < frames && position >= 0.0f; ++i) {
            float v = sample.points[uint32_t(position)] * scale;
            const uint32_t k = c.framesSinceTrigger + i;
            if (k < kCrossfadeFrames) v = c.crossfadeTail[k] + (v - c.crossfadeTail[k]) * (float(k) / 32.0f);
            expected[2 * i] = (0.0f + v * leftGain) * outputGain;
            expected[2 * i + 1] = (0.0f + v * rightGain) * outputGain;
            leftGain = ramp(leftGain, c.targetLeftGain);
            rightGain = ramp(rightGain, c.targetRightGain);
            if (t.loop == XmLoop::None) {
                position += t.step;
                if (position >= float(length)) position = -1.0f;
            } else if (t.loop == XmLoop::Forward) {
                position += t.step;
                while (position >= loopEnd) position -= float(loopLength);
            } else if (forward) {
                position += t.step;
                if (position >= loopEnd) forward = false, position = 2 * loopEnd - position;
                // Reflected exactly onto a loop end that is the sample's end: the last point.
                if (position >= float(length)) position = float(length) - 1.0f;
            } else {
                position -= t.step;
                if (position <= float(loopStart)) forward = true, position = 2 * float(loopStart) - position;
            }
            positions[i] = position;
        }
        // The position after each call as well, where a run has been cut off.
        for (uint32_t done = 0, n = 1; done < frames; done += n, n = n * 3 + 1) {
            n = std::min(n, frames - done);
            renderFrames(p.get(), out.data() + 2 * done, n);
            ASSERT_EQ(c.position, positions[done + n - 1]) << "case " << trial << " frame " << done + n - 1;
        }
        ASSERT_EQ(std::memcmp(out.data(), expected.data(), out.size() * sizeof(float)), 0)
            << "case " << trial << " step " << t.step << " position " << t.position;
        EXPECT_EQ(c.position, position) << trial;
        EXPECT_EQ(bool(c.forward), forward) << trial;
        sounding += std::count_if(out.begin(), out.end(), [](float v) { return v != 0.0f; }) > int(frames);
    }
    EXPECT_GT(sounding, 40); // most of the audible channels keep sounding through the frames
}

// On every tier the CPU has, from the scalar loops up: the same floats on each.
TEST(ChannelMix, EveryFrameFollowsTheFrameByFrameRule) {
    const MixTier before = mixTier();
    for (MixTier tier : {MixTier::Scalar, MixTier::Avx2, MixTier::Avx512}) {
        if (setMixTier(tier) != tier) {
            std::printf("this CPU has no %s tier: not checked\n", mixTierName(tier));
            continue;
        }
        SCOPED_TRACE(mixTierName(tier));
        checkChannelMix();
    }
    setMixTier(before);
}

} // namespace

namespace {

// The audio stream renders in pieces cut wherever the device's ring wraps: the cut must not matter.
TEST(Chunking, PiecesGiveTheSameOutputAsOneCall) {
    XmModule song = makeSong(8, 3, 3);
    song.tempo = 173;
    song.instruments.push_back(
        makeInstrument(std::vector<int16_t>{0, 40, 80, 40, 0, -40, -80, -40}, XmLoop::PingPong, 2, 5));
    for (uint16_t row = 0; row < 8; row += 2) {
        song.cell(0, row, 0) = {uint8_t(kMiddleC + row), 1, 0, EffectVibrato, 0x38};
        song.cell(0, row, 1) = {uint8_t(kMiddleC - row), 2, 0, EffectVolumeSlide, 0x04};
        song.cell(0, row + 1, 2) = {uint8_t(kMiddleC + 12), 2, 0x30, EffectPanningSlide, 0x20};
    }
    std::vector<uint8_t> bytes = writeXm(song);
    const uint32_t total = 3 * 44100;
    std::vector<float> whole(2 * total), pieces(2 * total);
    auto a = loadPlayer(bytes);
    renderFrames(a.get(), whole.data(), total);
    auto b = loadPlayer(bytes);
    const uint32_t sizes[] = {1, 7, 96, 104, 441, 637, 638, 4096, 1250};
    for (uint32_t done = 0, k = 0; done < total; ++k) {
        uint32_t n = std::min(sizes[k % std::size(sizes)], total - done);
        renderFrames(b.get(), pieces.data() + 2 * done, n);
        done += n;
    }
    EXPECT_EQ(whole, pieces);
    EXPECT_GT(*std::max_element(whole.begin(), whole.end()), 0.05f);
}

} // namespace
