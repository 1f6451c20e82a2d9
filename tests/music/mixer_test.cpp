// The mixer: tick clock, loop-limit silence, sample fetch through loops, gain ramps, crossfade, output gain.
#include "music/mixer.h"
#include "music/replayer.h"
#include "tests/music/test_modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

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
