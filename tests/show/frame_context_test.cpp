#include "gfx/frame_context.h"
#include "show/camera.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Orvo::Gfx;
using namespace base;
using namespace show;

namespace {

bool allZero(const Matrix4& m) {
    for (float e : m.m)
        if (e != 0.0f) return false;
    return true;
}

bool same(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 16; ++i)
        if (a.m[i] != b.m[i]) return false;
    return true;
}

void expectNearIdentity(const Matrix4& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[4 * r + c], r == c ? 1.0f : 0.0f, 2e-3f) << r << "," << c;
}

// A frame of the show as the main loop fills it: camera from tracks, time, frame and screen size.
FrameContext localFrame(float time, uint32_t frame, float elapsed, float eyeX) {
    const float tracks[8] = {eyeX, 0.5f, -16.0f, 0.0f, 0.0f, 25.0f, 6.0f, 3.0f};
    CameraMatrices camera = buildCamera(tracks, 1920.0f / 1080.0f);
    FrameContext local = {};
    local.header.time = time;
    local.header.frame = frame;
    local.header.elapsedTime = elapsed;
    local.header.resolution = {1920.0f, 1080.0f};
    local.header.viewMatrix = camera.view;
    local.header.projectionMatrix = camera.projection;
    return local;
}

// Every test starts as the process does: nothing published yet.
class Publish : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        currentFrameContext = {};
        contextBufferDesc = {false, 0, 1, 1, 1, nullptr};
    }
};

TEST_F(Publish, FirstFrameHasZeroLastMatricesAndDerivesTheRest) {
    FrameContext local = localFrame(0.25f, 0, 0.25f, 0.1f);
    local.publish();
    const FrameContextHeader& c = currentFrameContext.header;
    EXPECT_EQ(c.time, 0.25f);
    EXPECT_EQ(c.frame, 0u);
    EXPECT_EQ(c.elapsedTime, 0.25f);
    EXPECT_EQ(c.resolution.x, 1920.0f);
    EXPECT_EQ(c.resolution.y, 1080.0f);
    EXPECT_FLOAT_EQ(c.invResolution.x, 1.0f / 1920.0f);
    EXPECT_FLOAT_EQ(c.invResolution.y, 1.0f / 1080.0f);
    EXPECT_FLOAT_EQ(c.aspectRatio, 1920.0f / 1080.0f);
    EXPECT_TRUE(allZero(c.lastViewMatrix));
    EXPECT_TRUE(allZero(c.lastProjectionMatrix));
    EXPECT_TRUE(allZero(c.lastViewProjectionMatrix));
    EXPECT_TRUE(same(c.viewMatrix, local.header.viewMatrix));
    EXPECT_TRUE(same(c.projectionMatrix, local.header.projectionMatrix));
    EXPECT_TRUE(same(c.viewProjectionMatrix,
                     multiplyMatrices(local.header.viewMatrix, local.header.projectionMatrix)));
    expectNearIdentity(multiplyMatrices(c.viewMatrix, c.invViewMatrix));
    expectNearIdentity(multiplyMatrices(c.projectionMatrix, c.invProjectionMatrix));
    expectNearIdentity(multiplyMatrices(c.viewProjectionMatrix, c.invViewProjectionMatrix));
}

TEST_F(Publish, SecondFrameKeepsThePreviousMatricesAsTheLastOnes) {
    FrameContext first = localFrame(1.0f, 0, 1.0f, 0.1f);
    first.publish();
    FrameContextHeader before = currentFrameContext.header;
    FrameContext second = localFrame(1.02f, 1, 0.02f, -0.2f);
    second.publish();
    const FrameContextHeader& c = currentFrameContext.header;
    EXPECT_EQ(c.frame, 1u);
    EXPECT_EQ(c.elapsedTime, 0.02f);
    EXPECT_TRUE(same(c.lastViewMatrix, before.viewMatrix));
    EXPECT_TRUE(same(c.lastProjectionMatrix, before.projectionMatrix));
    EXPECT_TRUE(same(c.lastViewProjectionMatrix, before.viewProjectionMatrix));
    EXPECT_FALSE(same(c.viewMatrix, before.viewMatrix));
}

TEST_F(Publish, OnlyTheInputFieldsOfTheLocalContextAreRead) {
    FrameContext local = localFrame(2.0f, 7, 0.016f, 0.0f);
    local.header.aspectRatio = 99.0f;
    local.header.invResolution = {5.0f, 5.0f};
    local.header.invViewMatrix.m[0] = 42.0f;
    local.header.lastViewMatrix.m[0] = 42.0f;
    local.publish();
    const FrameContextHeader& c = currentFrameContext.header;
    EXPECT_FLOAT_EQ(c.aspectRatio, 1920.0f / 1080.0f);
    EXPECT_FLOAT_EQ(c.invResolution.x, 1.0f / 1920.0f);
    EXPECT_NE(c.invViewMatrix.m[0], 42.0f);
    EXPECT_TRUE(allZero(c.lastViewMatrix));
}

TEST_F(Publish, RecordsTheHeaderSizeInTheSharedConstantBufferDescriptor) {
    localFrame(0.0f, 0, 0.0f, 0.0f).publish();
    EXPECT_TRUE(contextBufferDesc.constant);
    EXPECT_EQ(contextBufferDesc.stride, 608u);
    EXPECT_EQ(contextBufferDesc.countX, 1u);
    // A buffer created from the descriptor holds exactly one header.
    EXPECT_EQ(contextBufferDesc.stride * contextBufferDesc.countX * contextBufferDesc.countY *
                  contextBufferDesc.countZ,
              608u);
    EXPECT_EQ(contextBufferDesc.initialData, nullptr);
}

TEST(CurrentFrameContext, StartsZeroWithANonEmptyDescriptorShape) {
    // Runs in its own process under ctest, before anything is published.
    EXPECT_EQ(currentFrameContext.header.time, 0.0f);
    EXPECT_EQ(currentFrameContext.device, nullptr);
    EXPECT_EQ(currentFrameContext.immediateContext, nullptr);
    EXPECT_EQ(contextBufferDesc.countX * contextBufferDesc.countY * contextBufferDesc.countZ, 1u);
}

} // namespace
