// Which passes a frame leaves out: walking back from the output through the inputs switched on in that
// frame, and never a pass whose work a later frame may read. Graphics passes are told apart in the log by
// their vertex counts, compute passes by their group counts.
#include "gfx/pass_plan.h"
#include "tests/gfx/scene_fixture.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <cstring>
#include <limits>

using namespace sync_tracks;

using namespace Orvo::Gfx;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class PassSkipping : public SceneTest {
  protected:
    // The draws and dispatches of a frame at `time`, as "draw N" (N vertices) and "dispatch N" (N groups).
    std::vector<std::string> ran(float time) {
        std::vector<std::string> passes;
        for (const std::string& call : frame(time)) {
            uint32_t n;
            if (std::sscanf(call.c_str(), "DrawInstanced %u", &n) == 1)
                passes.push_back("draw " + std::to_string(n));
            if (std::sscanf(call.c_str(), "Dispatch %u", &n) == 1)
                passes.push_back("dispatch " + std::to_string(n));
        }
        return passes;
    }

    GraphicsPassDesc drawing(uint32_t vertices, TextureRuntime* target,
                             std::initializer_list<ResourceBinding> inputs) {
        GraphicsPassDesc desc = graphicsDesc(target);
        desc.vertexCount = vertices;
        for (const ResourceBinding& input : inputs) desc.inputs.append(input);
        return desc;
    }

    ComputePassDesc dispatching(uint32_t groups, BufferRuntime* output,
                                std::initializer_list<ResourceBinding> inputs) {
        ComputePassDesc desc = computeDesc();
        desc.threadsX = 8 * groups;
        for (const ResourceBinding& input : inputs) desc.inputs.append(input);
        desc.outputs.append({ResourceBuffer, output});
        return desc;
    }

    void addSwitch(const char* name) {
        ContextVariable v = {};
        std::snprintf(v.name, sizeof(v.name), "%s", name);
        v.type = VariableType::Float;
        scene->variables.append(v);
    }
    void setSwitch(uint32_t index, float value) { std::memcpy(scene->variables[index].value, &value, 4); }
};

// The output merges a picture made in two steps (a simulation, then a drawing of it) and a picture made in
// one, each read only while its switch is above 0.5; a fourth pass draws something nobody reads.
TEST_F(PassSkipping, PassesRunOnlyForWhatTheOutputReadsThroughTheInputsSwitchedOnNow) {
    addSwitch("SHOW_A");
    addSwitch("SHOW_B");
    BufferRuntime* state = addBuffer(0, 16, 64);
    TextureRuntime* a = addTexture(1, 8, 8);
    TextureRuntime* b = addTexture(2, 8, 8);
    TextureRuntime* out = addTexture(3, 8, 8);
    addComputePass(0, dispatching(1, state, {}));
    addGraphicsPass(0, drawing(12, a, {{ResourceBuffer, state}}));
    addGraphicsPass(1, drawing(13, b, {}));
    addGraphicsPass(2, drawing(14, addTexture(4, 8, 8), {}));
    GraphicsPass* merge = addGraphicsPass(
        3, drawing(15, out, {{ResourceTexture, a, "SHOW_A"}, {ResourceTexture, b, "SHOW_B"}}));
    scene->output = out;
    PassTimer timer{*device, device->context()};
    scene->timer = &timer;

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float showA, showB;
        std::vector<std::string> passes;
    } frames[] = {
        {1.0f, 1.0f, {"dispatch 1", "draw 12", "draw 13", "draw 15"}},
        {0.0f, 1.0f, {"draw 13", "draw 15"}},
        {1.0f, 0.0f, {"dispatch 1", "draw 12", "draw 15"}},
        {0.0f, 0.0f, {"draw 15"}},
        {0.5f, 0.51f, {"draw 13", "draw 15"}}, // on only above 0.5, as the programs compare
        {nan, -nan, {"draw 15"}},              // NaN is never above 0.5
    };
    for (const auto& f : frames) {
        setSwitch(0, f.showA);
        setSwitch(1, f.showB);
        EXPECT_THAT(ran(0.0f), ElementsAreArray(f.passes)) << f.showA << " " << f.showB;
    }

    // The timings count a pass left out as not run.
    ASSERT_TRUE(timer.finish()) << timer.error();
    std::vector<uint32_t> runs;
    for (const TimingStatistics& s : timer.passes()) runs.push_back(s.count);
    EXPECT_THAT(runs, ElementsAre(2, 2, 3, 0, 6));

    // A switch that names no variable leaves its input read, and so does a scene told not to skip.
    merge->desc.inputs[1].switchedBy = "NO_SUCH_TRACK";
    EXPECT_THAT(ran(0.0f), ElementsAre("draw 13", "draw 15"));
    scene->skipUnneededPasses = false;
    EXPECT_THAT(ran(0.0f), ElementsAre("dispatch 1", "draw 12", "draw 13", "draw 14", "draw 15"));
    // Without an output nothing can be known to be unused.
    scene->skipUnneededPasses = true;
    scene->output = nullptr;
    EXPECT_THAT(ran(0.0f), ElementsAre("dispatch 1", "draw 12", "draw 13", "draw 14", "draw 15"));
}

// Passes whose results nothing reads in the frame, but whose results a later frame may read, run whenever
// their activation allows; each brings along what it reads. Only the last pass, whose result nothing ever
// reads, is left out.
TEST_F(PassSkipping, WorkThatOutlivesTheFrameIsNeverLeftOut) {
    TextureRuntime* out = addTexture(0, 8, 8);
    TextureRuntime* feedback = addTexture(1, 8, 8);
    // Reads the previous frame's `feedback`, which the next pass draws.
    addGraphicsPass(0, drawing(20, out, {{ResourceTexture, feedback}}));
    addGraphicsPass(1, drawing(21, feedback, {}));
    // A double-buffered target is read as the previous frame left it.
    addGraphicsPass(2, drawing(22, addTexture(2, 8, 8, 3, true), {}));
    // Drawing over what is there without clearing reads it: the pass that drew it first comes along.
    TextureRuntime* layered = addTexture(3, 8, 8);
    addGraphicsPass(3, drawing(23, layered, {}));
    GraphicsPassDesc over = drawing(24, layered, {});
    over.clear = false;
    GraphicsPass* drawnOver = addGraphicsPass(4, over);
    // A simulation that keeps its state in its output, and the picture it reads.
    TextureRuntime* picture = addTexture(4, 8, 8);
    addGraphicsPass(5, drawing(25, picture, {}));
    ComputePassDesc simulation = dispatching(2, addBuffer(5, 16, 64), {{ResourceTexture, picture}});
    simulation.outputs[0].keepsState = true;
    ComputePass* simulating = addComputePass(0, simulation);
    // What a pass that stops running wrote last stays for later frames, so it runs in every frame it may.
    GraphicsPassDesc windowed = drawing(26, addTexture(6, 8, 8), {});
    windowed.activation = ActivationWindow;
    windowed.windowStart = 10.0f;
    windowed.windowEnd = 20.0f;
    GraphicsPass* sometimes = addGraphicsPass(6, windowed);
    GraphicsPassDesc once = drawing(27, addTexture(7, 8, 8), {});
    once.activation = ActivationFirstFrame;
    addGraphicsPass(7, once);
    addGraphicsPass(8, drawing(28, addTexture(8, 8, 8), {}));
    scene->output = out;
    scene->firstFrame = true;

    EXPECT_THAT(ran(0.0f), ElementsAre("draw 20", "draw 21", "draw 22", "draw 23", "draw 24", "draw 25",
                                       "dispatch 2", "draw 27"));
    EXPECT_THAT(ran(15.0f), ElementsAre("draw 20", "draw 21", "draw 22", "draw 23", "draw 24", "draw 25",
                                        "dispatch 2", "draw 26"));
    // The same passes without the reasons to keep them are left out.
    drawnOver->desc.clear = true;
    simulating->desc.outputs[0].keepsState = false;
    sometimes->desc.activation = ActivationAlways;
    EXPECT_THAT(ran(15.0f), ElementsAre("draw 20", "draw 21", "draw 22"));
}

} // namespace
