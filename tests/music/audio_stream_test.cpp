#include "music/audio_stream.h"
#include "music/mixer.h"
#include "music/ring_refill.h"
#include "tests/music/fake_wave_out.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

using namespace base;
using namespace music;

namespace {

using Calls = std::vector<std::pair<uint32_t, uint32_t>>; // (ring index, frames)

Calls refillCalls(uint32_t rendered, uint32_t played, uint32_t* renderedAfter = nullptr) {
    Calls calls;
    const uint32_t after = refillRing(
        rendered, played, [&](uint32_t index, uint32_t frames) { calls.emplace_back(index, frames); });
    if (renderedAfter) *renderedAfter = after;
    return calls;
}

TEST(RingRefill, NothingPlayedRendersNothing) {
    uint32_t after = 99;
    EXPECT_TRUE(refillCalls(0, 0, &after).empty());
    EXPECT_EQ(after, 0u);
    // A cursor that lags the refill count (a device that was reset) renders nothing either.
    EXPECT_TRUE(refillCalls(5000, 4000, &after).empty());
    EXPECT_EQ(after, 5000u);
}

TEST(RingRefill, RefillsWhatWasPlayedSplitAtTheWrap) {
    EXPECT_EQ(refillCalls(0, 10000 >> 3), (Calls{{0, 1250}}));
    uint32_t after = 0;
    EXPECT_EQ(refillCalls(4000, 4200, &after), (Calls{{4000, 96}, {0, 104}}));
    EXPECT_EQ(after, 4200u);
    // Exactly one ring: one whole-ring render, not two pieces.
    EXPECT_EQ(refillCalls(0, 4096), (Calls{{0, 4096}}));
    EXPECT_EQ(refillCalls(4096, 4097), (Calls{{0, 1}}));
}

TEST(RingRefill, ThreadMoreThanARingBehindRendersWholeLaps) {
    uint32_t after = 0;
    EXPECT_EQ(refillCalls(100, 10000, &after), (Calls{{100, 3996}, {0, 4096}, {0, 1808}}));
    EXPECT_EQ(after, 10000u);
}

TEST(RingRefill, EveryPieceLiesInsideTheRingAndTheyFollowEachOther) {
    // Behind by less than a ring across one wrap: the rest of the lap, then the start of the next.
    EXPECT_EQ(refillCalls(2048, 5000), (Calls{{2048, 2048}, {0, 904}}));
    for (uint32_t rendered : {0u, 1u, 2048u, 4095u, 4096u, 5000u, 8191u, 12288u, 0xFFFFF000u})
        for (uint32_t behind : {1u, 2u, 2048u, 2952u, 4095u, 4096u, 4097u, 8192u, 10000u}) {
            if (rendered > UINT32_MAX - behind) continue;
            uint32_t after = 0;
            const Calls calls = refillCalls(rendered, rendered + behind, &after);
            EXPECT_EQ(after, rendered + behind) << rendered << " + " << behind;
            // Frame f of the song goes to ring index f mod 4096, piece after piece.
            uint32_t frame = rendered;
            for (auto [index, frames] : calls) {
                EXPECT_EQ(index, frame % kRingFrames) << rendered << " + " << behind;
                EXPECT_GT(frames, 0u);
                EXPECT_LE(index + frames, kRingFrames) << rendered << " + " << behind;
                frame += frames;
            }
            EXPECT_EQ(frame, rendered + behind) << rendered << " + " << behind;
        }
}

TEST(AudioClock, BytesBecomeSecondsThroughWholeFrames) {
    EXPECT_EQ(audioSecondsFromBytes(35280), 0.1f);
    EXPECT_EQ(audioSecondsFromBytes(35287), 0.1f); // a partial frame does not count
    EXPECT_EQ(audioSecondsFromBytes(0), 0.0f);
    // The show ends at 67 s: the last frame before it still lies below, the 2954700th is exactly 67.
    EXPECT_EQ(audioSecondsFromBytes(2954700u * 8), 67.0f);
    EXPECT_LT(audioSecondsFromBytes(2954699u * 8), 67.0f);
}

// The intro's own module, as committed.
std::vector<uint8_t> readModule() {
    std::ifstream in(MIRELANDT_TEST_MODULE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Song frames 0..count-1 as the player renders them in one go.
void renderReference(const std::vector<uint8_t>& module, uint32_t count, std::vector<float>& frames) {
    ModulePlayer* player = nullptr;
    ASSERT_EQ(createModulePlayer(module.data(), uint32_t(module.size()), &player, kAudioRate), CreateOk);
    setLoopLimit(player, 1);
    frames.assign(size_t(count) * 2, 0.0f);
    renderFrames(player, frames.data(), count);
    freeModulePlayer(player);
}

// After refilling up to `rendered`, ring index i holds the one song frame of [rendered, rendered + 4096)
// that falls on it.
void expectRingHolds(const AudioStream& stream, const std::vector<float>& reference, uint32_t rendered) {
    for (uint32_t f = rendered; f < rendered + kRingFrames; ++f) {
        const uint32_t i = f % kRingFrames;
        ASSERT_EQ(stream.ring[2 * i], reference[2 * f]) << "frame " << f << " at ring index " << i;
        ASSERT_EQ(stream.ring[2 * i + 1], reference[2 * f + 1]) << "frame " << f << " at ring index " << i;
    }
}

bool waitForRefill(AudioStream& stream, uint32_t frames) {
    for (int i = 0; i < 2000 && stream.refilled.load() != frames; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return stream.refilled.load() == frames;
}

class AudioStreamTest : public ::testing::Test {
  protected:
    FakeWaveDriver driver;
    AudioStream stream;
    std::vector<uint8_t> module = readModule();
    void SetUp() override { ASSERT_FALSE(module.empty()) << "missing " << MIRELANDT_TEST_MODULE; }
    void open() { openAudioStream(stream, driver, module.data(), uint32_t(module.size())); }
};

TEST_F(AudioStreamTest, OpensFloatStereoAndPreRendersTheFirstRing) {
    open();
    const wave::WaveFormat& f = driver.log.format;
    EXPECT_EQ(f.formatTag, 3);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.samplesPerSecond, 44100u);
    EXPECT_EQ(f.averageBytesPerSecond, 352800u);
    EXPECT_EQ(f.blockAlign, 8);
    EXPECT_EQ(f.bitsPerSample, 32);
    EXPECT_EQ(driver.log.prepared.data, static_cast<void*>(stream.ring));
    EXPECT_EQ(driver.log.prepared.bufferLength, 32768u);
    EXPECT_EQ(driver.log.prepared.flags, 12u);
    EXPECT_EQ(driver.log.prepared.loops, 0xFFFFFFFFu);
    ASSERT_NE(stream.player, nullptr);
    EXPECT_EQ(stream.player->loopLimit, 1);
    EXPECT_TRUE(stream.thread.joinable());

    std::vector<float> reference;
    ASSERT_NO_FATAL_FAILURE(renderReference(module, kRingFrames, reference));
    bool audible = false;
    for (float v : reference) audible |= v != 0.0f;
    ASSERT_TRUE(audible) << "the test module should make sound in its first ring";
    expectRingHolds(stream, reference, 0);
    closeAudioStream(stream);
}

TEST_F(AudioStreamTest, PlaybackIsQueuedOnceAndTheClockFollowsTheDevice) {
    open();
    EXPECT_EQ(audioTimeSeconds(stream), 0.0f);
    startPlayback(stream);
    startPlayback(stream);
    EXPECT_EQ(driver.log.calls, (std::vector<std::string>{"open", "prepare", "write"}));
    driver.log.positionBytes = 35280;
    EXPECT_EQ(audioTimeSeconds(stream), 0.1f);
    driver.log.positionFails = true; // a failed query reads as 0
    EXPECT_EQ(audioTimeSeconds(stream), 0.0f);
    driver.log.positionFails = false;
    closeAudioStream(stream);
}

TEST_F(AudioStreamTest, AStartFrameAddsToTheClock) {
    openAudioStream(stream, driver, module.data(), uint32_t(module.size()), 2 * 44100);
    EXPECT_EQ(audioTimeSeconds(stream), 2.0f); // before playback: the start itself
    startPlayback(stream);
    driver.log.positionBytes = 35280; // 0.1 s played
    EXPECT_EQ(audioTimeSeconds(stream), 2.1f);
    closeAudioStream(stream);

    // Without a device the clock holds at the start.
    driver.available = false;
    openAudioStream(stream, driver, module.data(), uint32_t(module.size()), 44100 / 2);
    EXPECT_EQ(audioTimeSeconds(stream), 0.5f);
    closeAudioStream(stream);
}

TEST_F(AudioStreamTest, RefillThreadRendersThePlayedFramesAgainWithTheNextMusic) {
    open();
    startPlayback(stream);
    std::vector<float> reference;
    ASSERT_NO_FATAL_FAILURE(renderReference(module, 4 * kRingFrames, reference));

    driver.log.positionBytes = 10000;
    ASSERT_TRUE(waitForRefill(stream, 1250));
    expectRingHolds(stream, reference, 1250);

    driver.log.positionBytes = 4200 * 8; // across the wrap
    ASSERT_TRUE(waitForRefill(stream, 4200));
    expectRingHolds(stream, reference, 4200);

    driver.log.positionBytes = 12000 * 8; // the thread fell more than a ring behind
    ASSERT_TRUE(waitForRefill(stream, 12000));
    expectRingHolds(stream, reference, 12000);
    closeAudioStream(stream);
}

TEST_F(AudioStreamTest, ShutDownStopsTheThreadThenPausesResetsAndClosesTheDevice) {
    open();
    startPlayback(stream);
    closeAudioStream(stream);
    EXPECT_FALSE(stream.thread.joinable());
    EXPECT_EQ(stream.device, nullptr);
    EXPECT_EQ(stream.player, nullptr);
    EXPECT_EQ(driver.log.calls,
              (std::vector<std::string>{"open", "prepare", "write", "pause", "reset", "close"}));
    // The joined thread queries the device no more.
    const int queries = driver.log.positionQueries;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(driver.log.positionQueries, queries);
}

TEST_F(AudioStreamTest, WithoutADeviceTheClockHoldsZeroAndShutDownTouchesNothing) {
    driver.available = false;
    open();
    EXPECT_EQ(stream.device, nullptr);
    EXPECT_EQ(stream.player, nullptr);
    EXPECT_FALSE(stream.thread.joinable());
    for (int frame = 0; frame < 3; ++frame) {
        startPlayback(stream);
        EXPECT_EQ(audioTimeSeconds(stream), 0.0f);
    }
    closeAudioStream(stream);
    EXPECT_EQ(driver.log.calls, (std::vector<std::string>{"open"}));
}

// Nothing of a closed stream's run carries over into its next opening: not a write that was never
// queued, nor the stop of the old thread, nor the frames it refilled.
TEST_F(AudioStreamTest, AClosedStreamOpensAgainAsNew) {
    open();
    driver.log.positionBytes = 10000;
    ASSERT_TRUE(waitForRefill(stream, 1250));
    closeAudioStream(stream); // before playback was ever started

    driver.available = false;
    open();
    startPlayback(stream); // no device: nothing to queue
    closeAudioStream(stream);
    EXPECT_EQ(driver.log.calls,
              (std::vector<std::string>{"open", "prepare", "pause", "reset", "close", "open"}));

    driver.available = true;
    driver.log.positionHeld = true; // the new thread waits in its first position query
    open();
    EXPECT_EQ(stream.refilled.load(), 0u);
    driver.log.positionHeld = false;
    ASSERT_TRUE(waitForRefill(stream, 1250));
    std::vector<float> reference;
    ASSERT_NO_FATAL_FAILURE(renderReference(module, 2 * kRingFrames, reference));
    expectRingHolds(stream, reference, 1250);
    closeAudioStream(stream);
}

TEST_F(AudioStreamTest, AModuleThatDoesNotLoadPlaysSilenceWhileTheClockRuns) {
    module.resize(40); // certainly not a loadable module
    open();
    EXPECT_EQ(stream.player, nullptr);
    EXPECT_FALSE(stream.thread.joinable()); // nothing would have a player to render with
    for (float v : stream.ring) ASSERT_EQ(v, 0.0f);
    startPlayback(stream);
    driver.log.positionBytes = 352800;
    EXPECT_EQ(audioTimeSeconds(stream), 1.0f);
    closeAudioStream(stream);
    EXPECT_EQ(driver.log.calls,
              (std::vector<std::string>{"open", "prepare", "write", "pause", "reset", "close"}));
}

} // namespace
