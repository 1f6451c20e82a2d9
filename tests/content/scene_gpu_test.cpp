// The whole show's scene built on the Vulkan device (lavapipe here) with validation on, rendered at a
// small size at a few show times, and its finished picture read back. The cylinder pass draws 41 million
// vertices, so each frame takes seconds on a CPU driver: the frames here are few.
#include "content/build_scene.h"
#include "gfx/install_frame_context.h"
#include "gfx/scene.h"
#include "show/show_frame.h"
#include "tests/platform/gpu_fixture.h"

#include <cstdint>
#include <vector>

using namespace Orvo::Gfx;
using namespace show;

namespace {

constexpr uint32_t kWidth = 160, kHeight = 90;

class SceneOnDevice : public GpuTest {
  protected:
    SceneState state;
    ShowState show;

    void SetUp() override {
        GpuTest::SetUp();
        show.frameContext.device = device.get();
        show.frameContext.immediateContext = context.get();
        Orvo::Gfx::installFrameContext(show.frameContext);
        buildScene(&state, kWidth, kHeight);
        show.screen = makeShowScreen(kWidth, kHeight);
        show.tracks = &state.tracks;
        show.variables = state.scene->variables.items;
        show.variableCount = state.scene->variables.count;
    }
    void TearDown() override {
        delete state.scene;
        Orvo::Gfx::releaseFrameContext();
        GpuTest::TearDown();
    }

    // Renders the frame at `time` and returns the finished picture as half-float RGBA bit patterns.
    std::vector<uint16_t> renderAt(float time) {
        prepareShowFrame(show, time);
        state.scene->renderFrame();
        show.clock.prevTime = time;
        std::vector<uint16_t> halves(size_t(kWidth) * kHeight * 4);
        EXPECT_TRUE(context->ReadBack(state.scene->output->getResource(false), 0, halves.data(),
                                      halves.size() * sizeof(uint16_t), kWidth * 8))
            << device->GetLastError();
        return halves;
    }
};

// How many pixels have a colour channel of at least 1/64; a positive half float's bits grow with its value.
size_t litPixels(const std::vector<uint16_t>& halves) {
    constexpr uint16_t kOneSixtyFourth = 0x2400;
    size_t lit = 0;
    for (size_t p = 0; p + 3 < halves.size(); p += 4) {
        bool any = false;
        for (size_t c = 0; c < 3; ++c) any |= !(halves[p + c] & 0x8000) && halves[p + c] >= kOneSixtyFourth;
        lit += any;
    }
    return lit;
}

TEST_F(SceneOnDevice, RendersTheTextLayersAndTheCutsWithoutValidationMessages) {
    ASSERT_EQ(state.scene->output, state.scene->resources.findOrInsert(21));
    // At 5 s the credits layer is on; at 23 s the beat cuts run with the cylinder and the logo.
    EXPECT_GT(litPixels(renderAt(5.0f)), size_t(kWidth) * kHeight / 100);
    renderAt(23.0f);
}

} // namespace
