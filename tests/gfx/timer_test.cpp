// Pass timings on the recording device, whose clock ticks once per vertex drawn and per thread group
// dispatched at 1000 ticks a second: a pass's milliseconds are its amount of work.
#include "gfx/pass_timer.h"
#include "tests/gfx/scene_fixture.h"

using namespace Orvo::Gfx;

using namespace Orvo::Gfx;

namespace {

class Timings : public SceneTest {
  protected:
    PassTimer timer{*device, device->context()};

    // A compute pass of 32 groups, a 3-vertex pass, and a pass of 2 x 6 vertices that runs only in the
    // show's first second: 32, 3 and 12 ms.
    void buildScene() {
        ComputePassDesc compute = computeDesc();
        compute.threadsX = 256;
        addComputePass(0, compute);
        addGraphicsPass(0, graphicsDesc(addTexture(0, 64, 64)));
        GraphicsPassDesc windowed = graphicsDesc(addTexture(1, 64, 64));
        windowed.vertexCount = 6;
        windowed.instanceCount = 2;
        windowed.activation = ActivationWindow;
        windowed.windowStart = 0.0f;
        windowed.windowEnd = 1.0f;
        addGraphicsPass(1, windowed);
        scene->timer = &timer;
    }
};

void expectStatistics(const TimingStatistics& s, uint32_t count, double mean, double max) {
    EXPECT_EQ(s.count, count);
    EXPECT_DOUBLE_EQ(s.meanMilliseconds(), mean);
    EXPECT_DOUBLE_EQ(s.maxMilliseconds, max);
}

} // namespace

TEST_F(Timings, EachPassIsMeasuredByItsPositionAndEachFrameAsAWhole) {
    buildScene();
    frame(0.5f);
    frame(2.0f);
    // Nothing was submitted, so nothing could arrive yet.
    EXPECT_EQ(timer.frames().count, 0u);
    ASSERT_TRUE(timer.finish()) << timer.error();
    ASSERT_EQ(timer.passes().size(), 3u);
    expectStatistics(timer.passes()[0], 2, 32.0, 32.0);
    expectStatistics(timer.passes()[1], 2, 3.0, 3.0);
    expectStatistics(timer.passes()[2], 1, 12.0, 12.0);
    expectStatistics(timer.frames(), 2, (47.0 + 35.0) / 2, 47.0);
}

TEST_F(Timings, ASubmittedFrameIsCollectedAtTheNextFrameWithoutWaiting) {
    buildScene();
    frame(2.0f);
    device->context().Flush(); // the double's GPU finishes submitted work at once
    frame(2.0f);
    EXPECT_EQ(timer.frames().count, 1u);
    EXPECT_TRUE(timer.finish());
    EXPECT_EQ(timer.frames().count, 2u);
}

TEST_F(Timings, FramesOnAnUnsteadyClockAreLeftOut) {
    buildScene();
    device->disjoint = true;
    frame(0.5f);
    frame(0.6f);
    ASSERT_TRUE(timer.finish());
    EXPECT_EQ(timer.disjointFrames(), 2u);
    EXPECT_EQ(timer.frames().count, 0u);
    EXPECT_TRUE(timer.passes().empty());
}

TEST_F(Timings, ADeviceWithoutAClockStillRendersAndSaysWhyThereAreNoTimings) {
    buildScene();
    device->clock = false;
    const auto log = frame(0.5f);
    EXPECT_EQ(countCalls(log, "Dispatch"), 1u);
    EXPECT_EQ(countCalls(log, "DrawInstanced"), 2u);
    EXPECT_EQ(countCalls(log, "End"), 0u);
    EXPECT_FALSE(timer.finish());
    EXPECT_NE(timer.error().find("no GPU timings"), std::string::npos);
}
