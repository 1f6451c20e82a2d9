#include "content/track_table.h"
#include "show/main_loop.h"
#include "show/show_frame.h"
#include "sync/evaluate_track.h"
#include "tests/music/fake_wave_out.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;
using namespace show;
using namespace sync_tracks;

namespace {

// A window that asks to quit, or holds Escape, from a given pass on, has no area for a span of passes or
// fails to present, and counts what the loop draws.
struct FakePlatform final : LoopPlatform {
    int passes = 0;
    int quitAtPass = -1;                // pumpMessages reports a quit on this pass (1-based)
    int escapeAtPass = -1;              // Escape is down from this pass on
    int noAreaFrom = -1, noAreaTo = -1; // the window has no area on these passes (inclusive)
    int failPresentAt = -1;             // the present of this pass fails
    int renders = 0;
    int presents = 0;
    std::vector<FrameContextHeader> published;
    std::function<void(int pass)> afterPass; // after the pass's present, or in place of it without area
    ShowState* show = nullptr;               // the frame step runs on it, as the intro's does (no scene)

    bool pumpMessages(bool*) override { return ++passes == quitAtPass; }
    bool escapeDown() override { return escapeAtPass > 0 && passes >= escapeAtPass; }
    bool hasArea() override {
        const bool area = passes < noAreaFrom || passes > noAreaTo;
        if (!area && afterPass) afterPass(passes);
        return area;
    }
    void renderFrame(float time) override {
        prepareShowFrame(*show, time);
        show->clock.prevTime = time;
        ++renders;
        published.push_back(currentFrameContext.header);
    }
    bool present() override {
        ++presents;
        if (afterPass) afterPass(passes);
        return passes != failPresentAt;
    }
};

class MainLoopTest : public ::testing::Test {
  protected:
    FakeWaveDriver driver;
    AudioStream audio;
    TrackSet tracks;
    std::vector<ContextVariable> variables = std::vector<ContextVariable>(kTrackCount);
    ShowState show;
    FakePlatform platform;

    void SetUp() override {
        layDownTrackKeys(tracks);
        show.screen = makeShowScreen(1920, 1080);
        show.tracks = &tracks;
        show.variables = variables.data();
        show.variableCount = uint32_t(variables.size());
        platform.show = &show;
        currentFrameContext = {};
        // No module: the device plays silence, and its position is all the loop reads.
        openAudioStream(audio, driver, nullptr, 0);
    }
    void TearDown() override { closeAudioStream(audio); }
    void resetPlatform() {
        platform = {};
        platform.show = &show;
    }
    void setFramesPlayed(uint32_t frames) { driver.log.positionBytes = frames * 8; }
};

TEST_F(MainLoopTest, TheLastFrameBefore67SecondsRendersAndThe67SecondOneDoesNot) {
    setFramesPlayed(2954699);
    platform.quitAtPass = 2;
    runMainLoop(platform, audio);
    EXPECT_EQ(platform.renders, 2);
    EXPECT_LT(platform.published[0].time, 67.0f);

    setFramesPlayed(2954700);
    resetPlatform();
    platform.quitAtPass = 5; // never reached: the clock ends the loop first
    runMainLoop(platform, audio);
    EXPECT_EQ(platform.passes, 1);
    EXPECT_EQ(platform.renders, 0);
    EXPECT_EQ(platform.presents, 0);
}

TEST_F(MainLoopTest, FirstFrameIsFrameZeroAndItsElapsedTimeIsItsTime) {
    setFramesPlayed(4410);
    platform.quitAtPass = 2;
    platform.afterPass = [this](int) { setFramesPlayed(3 * 4410); };
    runMainLoop(platform, audio);
    ASSERT_EQ(platform.published.size(), 2u);
    EXPECT_EQ(platform.published[0].frame, 0u);
    EXPECT_EQ(platform.published[0].time, 0.1f);
    EXPECT_EQ(platform.published[0].elapsedTime, 0.1f);
    for (float v : platform.published[0].lastViewMatrix.m) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(platform.published[1].frame, 1u);
    EXPECT_EQ(platform.published[1].time, 0.3f);
    EXPECT_FLOAT_EQ(platform.published[1].elapsedTime, 0.2f);
    EXPECT_EQ(platform.published[1].resolution.x, 1920.0f);
    EXPECT_EQ(platform.published[1].aspectRatio, 1920.0f / 1080.0f);
}

TEST_F(MainLoopTest, PlaybackStartsOnTheFirstPassOnly) {
    platform.quitAtPass = 3;
    runMainLoop(platform, audio);
    EXPECT_EQ(driver.log.calls, (std::vector<std::string>{"open", "prepare", "write"}));
}

TEST_F(MainLoopTest, AQuitOrEscapeLetsTheFrameInProgressRenderAndPresent) {
    platform.escapeAtPass = 1; // held during start-up
    runMainLoop(platform, audio);
    EXPECT_EQ(platform.renders, 1);
    EXPECT_EQ(platform.presents, 1);

    resetPlatform();
    platform.quitAtPass = 3; // the window closed during the third pass
    runMainLoop(platform, audio);
    EXPECT_EQ(platform.renders, 3);
    EXPECT_EQ(platform.presents, 3);
}

// How each pass ends: a quit wins over the end of the show (a looping run started at the end must still
// stop), a failed present ends the loop at once, and a window without area renders nothing while the
// music and the messages go on, then shows the music's time again.
TEST_F(MainLoopTest, QuitsFailuresAndAWindowWithoutArea) {
    setFramesPlayed(2954700); // 67 s
    platform.quitAtPass = 1;
    EXPECT_EQ(runMainLoop(platform, audio), LoopEnd::Quit);
    EXPECT_EQ(platform.renders, 0);

    resetPlatform();
    platform.escapeAtPass = 1;
    EXPECT_EQ(runMainLoop(platform, audio), LoopEnd::Quit);

    setFramesPlayed(44100);
    resetPlatform();
    platform.failPresentAt = 2;
    EXPECT_EQ(runMainLoop(platform, audio), LoopEnd::PresentFailed);
    EXPECT_EQ(platform.presents, 2);

    // Passes 2 to 4 without area; the music moves 1 s a pass.
    show.clock = {};
    resetPlatform();
    platform.noAreaFrom = 2;
    platform.noAreaTo = 4;
    platform.quitAtPass = 6;
    platform.afterPass = [this](int pass) { setFramesPlayed(uint32_t(pass + 1) * 44100); };
    EXPECT_EQ(runMainLoop(platform, audio), LoopEnd::Quit);
    EXPECT_EQ(platform.passes, 6);
    EXPECT_EQ(platform.renders, 3);
    EXPECT_EQ(platform.presents, 3);
    ASSERT_EQ(platform.published.size(), 3u);
    EXPECT_EQ(platform.published[1].time, 5.0f) << "the picture resumes at the music's time";
    EXPECT_EQ(platform.published[1].frame, 1u);
    EXPECT_EQ(platform.published[1].elapsedTime, 4.0f);

    // Escape while the window has no area ends the run without another frame.
    resetPlatform();
    platform.noAreaFrom = 1;
    platform.noAreaTo = 100;
    platform.escapeAtPass = 3;
    EXPECT_EQ(runMainLoop(platform, audio), LoopEnd::Quit);
    EXPECT_EQ(platform.passes, 3);
    EXPECT_EQ(platform.renders, 0);
}

TEST_F(MainLoopTest, EveryTrackValueLandsInItsVariable) {
    setFramesPlayed(30 * 44100);
    platform.quitAtPass = 1;
    runMainLoop(platform, audio);
    for (uint32_t i = 0; i < kTrackCount; ++i) {
        float value = 0.0f;
        std::memcpy(&value, variables[i].value, sizeof value);
        ASSERT_EQ(value, evaluateTrack(tracks, i, 30.0f)) << kTrackNames[i];
    }
}

TEST_F(MainLoopTest, ASceneWithFewerVariablesThanTracksGetsOnlyItsOwn) {
    std::vector<ContextVariable> few(3);
    ContextVariable sentinel{};
    std::memset(sentinel.value, 0xAB, sizeof sentinel.value);
    few.push_back(sentinel);
    show.variables = few.data();
    show.variableCount = 3;
    setFramesPlayed(30 * 44100);
    platform.quitAtPass = 1;
    runMainLoop(platform, audio);
    for (unsigned char byte : few[3].value) ASSERT_EQ(byte, 0xAB);
}

// A capture worker enters the show mid-range through a seek: whatever frame it starts at, the context it
// publishes (counter, elapsed time, this and the last camera, every track) is byte for byte the one of a
// run that prepared every frame before it, across the camera cuts of the drop at 22 s.
TEST_F(MainLoopTest, ASeekPublishesTheFrameARunThroughWouldHave) {
    std::vector<float> times;
    for (int n = 0; n < 16; ++n) times.push_back(21.8f + 0.05f * float(n));
    std::vector<FrameContextHeader> through;
    std::vector<std::vector<ContextVariable>> throughValues;
    for (float t : times) {
        prepareShowFrame(show, t);
        show.clock.prevTime = t;
        through.push_back(currentFrameContext.header);
        throughValues.push_back(variables);
    }
    for (size_t start = 1; start < times.size(); start += 3) {
        currentFrameContext = {};
        show.clock = {};
        seekShowFrame(show, uint32_t(start), times[start - 1]);
        prepareShowFrame(show, times[start]);
        ASSERT_EQ(std::memcmp(&currentFrameContext.header, &through[start], sizeof(FrameContextHeader)), 0)
            << "entering at frame " << start;
        ASSERT_EQ(std::memcmp(variables.data(), throughValues[start].data(),
                              variables.size() * sizeof variables[0]),
                  0);
        ASSERT_NE(std::memcmp(&through[start].lastViewMatrix, &through[start].viewMatrix, sizeof(Matrix4)), 0)
            << "the camera must move between these frames for the test to see the last one";
    }
}

TEST(MainLoopWithoutAudio, ThePictureHoldsTimeZeroUntilQuit) {
    FakeWaveDriver driver;
    driver.available = false;
    AudioStream audio;
    openAudioStream(audio, driver, nullptr, 0);
    TrackSet tracks;
    layDownTrackKeys(tracks);
    std::vector<ContextVariable> variables(kTrackCount);
    ShowState show;
    show.screen = makeShowScreen(640, 360);
    show.tracks = &tracks;
    show.variables = variables.data();
    show.variableCount = kTrackCount;
    FakePlatform platform;
    platform.show = &show;
    platform.quitAtPass = 6;
    runMainLoop(platform, audio);
    ASSERT_EQ(platform.renders, 6);
    for (const FrameContextHeader& h : platform.published) {
        EXPECT_EQ(h.time, 0.0f);
        EXPECT_EQ(h.elapsedTime, 0.0f);
    }
    EXPECT_EQ(platform.published.back().frame, 5u);
    closeAudioStream(audio);
    EXPECT_EQ(driver.log.calls, (std::vector<std::string>{"open"}));
}

} // namespace
