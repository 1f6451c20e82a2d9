// Pass descriptors, setup and shader creation, and the fixed state tables.
#include "gfx/pass.h"
#include "gfx/pass_programs.h"
#include "gfx/pass_state.h"
#include "gfx/texture_runtime.h"
#include "tests/gfx/recording_fixture.h"

#include <gmock/gmock.h>

using namespace base;
using namespace shaders;

using namespace Orvo::Gfx;
using ::testing::ElementsAre;

namespace {

const std::vector<uint32_t> kVertexBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Vertex);
const std::vector<uint32_t> kPixelBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Pixel);
const std::vector<uint32_t> kComputeBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Compute);

void setBlobs(PassDesc& desc, bool vertex, bool pixel, bool compute) {
    desc.vertexBytecode = vertex ? kVertexBlob.data() : nullptr;
    desc.vertexBytecodeSize = vertex ? uint32_t(kVertexBlob.size() * 4) : 0;
    desc.pixelBytecode = pixel ? kPixelBlob.data() : nullptr;
    desc.pixelBytecodeSize = pixel ? uint32_t(kPixelBlob.size() * 4) : 0;
    desc.computeBytecode = compute ? kComputeBlob.data() : nullptr;
    desc.computeBytecodeSize = compute ? uint32_t(kComputeBlob.size() * 4) : 0;
}

TEST(PassDescriptors, CopyKeepsItsInputsAfterTheSourceIsGone) {
    TextureRuntime a, b, c;
    auto source = std::make_unique<GraphicsPassDesc>();
    source->inputs.append({ResourceTexture, &a});
    source->inputs.append({ResourceBuffer, &b});
    source->inputs.append({ResourceTexture, &c});
    source->vertexEntry = DynString("custom_main");
    const GraphicsPassDesc copy = *source;
    source.reset();
    ASSERT_EQ(copy.inputs.count, 3u);
    EXPECT_EQ(copy.inputs.capacity, 8u);
    EXPECT_EQ(copy.inputs[0].resource, &a);
    EXPECT_EQ(copy.inputs[1].kind, ResourceBuffer);
    EXPECT_EQ(copy.inputs[1].resource, &b);
    EXPECT_EQ(copy.inputs[2].resource, &c);
    EXPECT_STREQ(copy.vertexEntry.c_str(), "custom_main");
}

using PassSetup = RecordingTest;

TEST_F(PassSetup, GraphicsSetupMakesAGraphicsPipelineWhateverTheKindSaid) {
    GraphicsPassDesc desc;
    desc.pipelineKind = PipelineCompute;
    setBlobs(desc, true, true, false);
    desc.vertexCount = 6;
    GraphicsPass pass;
    EXPECT_TRUE(setupGraphicsPass(pass, desc));
    EXPECT_THAT(takeLog(),
                ElementsAre("CreateVertexShader 24 bytes -> vs1", "CreatePixelShader 24 bytes -> ps1",
                            "CreateRasterizerState fill=3 cull=1 ccw=0 bias=0,0,0 clip=1 scissor=0 msaa=0 "
                            "aaline=0 -> rasterizer1",
                            "CreateBlendState a2c=0 independent=0 enable=0 src=2 dest=2 op=1 srcAlpha=2 "
                            "destAlpha=2 opAlpha=1 mask=0xf -> blend1"));
    EXPECT_EQ(recording::labelOf(pass.states.rasterizer.get()), "rasterizer1");
    EXPECT_EQ(recording::labelOf(pass.states.blend.get()), "blend1");
    EXPECT_EQ(pass.desc.pipelineKind, PipelineGraphics);
    EXPECT_EQ(pass.pipeline.desc.pipelineKind, PipelineGraphics);
    EXPECT_EQ(pass.desc.vertexCount, 6u);
    EXPECT_EQ(pass.pipeline.computeShader.get(), nullptr);
}

TEST_F(PassSetup, ComputeSetupMakesOnlyTheComputeShader) {
    ComputePassDesc desc;
    setBlobs(desc, true, true, true);
    ComputePass pass;
    setupComputePass(pass, desc);
    EXPECT_THAT(takeLog(), ElementsAre("CreateComputeShader 24 bytes -> cs1"));
    EXPECT_EQ(pass.desc.pipelineKind, PipelineCompute);
    EXPECT_EQ(pass.pipeline.vertexShader.get(), nullptr);
}

TEST_F(PassSetup, MissingBytecodeCreatesNoShader) {
    GraphicsPassDesc desc;
    setBlobs(desc, true, false, false);
    GraphicsPass pass;
    setupGraphicsPass(pass, desc);
    ComputePass compute;
    setupComputePass(compute, ComputePassDesc{});
    // The graphics pass still gets its states; a compute pass has none.
    EXPECT_THAT(takeLog(), ElementsAre(::testing::StartsWith("CreateRasterizerState "),
                                       ::testing::StartsWith("CreateBlendState ")));
    EXPECT_EQ(pass.pipeline.vertexShader.get(), nullptr);
}

TEST_F(PassSetup, ABlendModeWithoutARowGetsNoBlendStateAndNoDeviceMakesNoStates) {
    GraphicsPassDesc desc;
    desc.blendMode = 4;
    GraphicsPass pass;
    setupGraphicsPass(pass, desc);
    EXPECT_THAT(takeLog(), ElementsAre(::testing::StartsWith("CreateRasterizerState ")));
    EXPECT_NE(pass.states.rasterizer.get(), nullptr);
    EXPECT_EQ(pass.states.blend.get(), nullptr);

    releaseFrameContext();
    GraphicsPass deviceless;
    setupGraphicsPass(deviceless, GraphicsPassDesc{});
    EXPECT_FALSE(deviceless.states.made);
    EXPECT_EQ(deviceless.states.rasterizer.get(), nullptr);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(PassSetup, BytecodeOfTheWrongStageLeavesTheShaderNull) {
    GraphicsPassDesc desc;
    setBlobs(desc, true, true, false);
    desc.pixelBytecode = kVertexBlob.data();
    GraphicsPass pass;
    setupGraphicsPass(pass, desc);
    EXPECT_NE(pass.pipeline.vertexShader.get(), nullptr);
    EXPECT_EQ(pass.pipeline.pixelShader.get(), nullptr);
}

TEST_F(PassSetup, SettingUpAgainReplacesTheShaders) {
    GraphicsPassDesc desc;
    setBlobs(desc, true, true, false);
    GraphicsPass pass;
    setupGraphicsPass(pass, desc);
    setBlobs(desc, false, false, false);
    setupGraphicsPass(pass, desc);
    EXPECT_EQ(pass.pipeline.vertexShader.get(), nullptr);
    EXPECT_EQ(pass.pipeline.pixelShader.get(), nullptr);
    // The states are made anew too, for the device current now.
    EXPECT_EQ(recording::labelOf(pass.states.rasterizer.get()), "rasterizer2");
    EXPECT_EQ(recording::labelOf(pass.states.blend.get()), "blend2");
}

TEST(PassPrograms, ProgramsAreFoundByNameAndMissingOnesLeaveNullBytecode) {
    GraphicsPassDesc desc;
    useGraphicsPrograms(desc, "output_vs", "output_ps");
    const ShaderProgram* vertex = shaders::findShaderProgram("output_vs");
    ASSERT_NE(vertex, nullptr);
    EXPECT_EQ(desc.vertexBytecode, vertex->bytecode);
    EXPECT_EQ(desc.vertexBytecodeSize, vertex->size);
    EXPECT_NE(desc.pixelBytecode, nullptr);

    useGraphicsPrograms(desc, "fullscreen_vs", "no_such_program_ps");
    EXPECT_NE(desc.vertexBytecode, nullptr);
    EXPECT_EQ(desc.pixelBytecode, nullptr);
    EXPECT_EQ(desc.pixelBytecodeSize, 0u);

    // A pixel program named as the vertex program is of the wrong stage.
    useGraphicsPrograms(desc, "output_ps", "output_ps");
    EXPECT_EQ(desc.vertexBytecode, nullptr);

    ComputePassDesc compute;
    useComputeProgram(compute, "no_such_program_cs");
    EXPECT_EQ(compute.computeBytecode, nullptr);
}

TEST(PassState, BlendTableRows) {
    using B = gpu::Blend;
    struct Row {
        B src, dest, srcAlpha, destAlpha;
    };
    const Row expected[4] = {{B::ONE, B::ONE, B::ONE, B::ONE},
                             {B::SRC_ALPHA, B::INV_SRC_ALPHA, B::INV_DEST_ALPHA, B::ONE},
                             {B::SRC_ALPHA, B::INV_SRC_ALPHA, B::ONE, B::ZERO},
                             {B::ZERO, B::INV_SRC_COLOR, B::ZERO, B::INV_SRC_ALPHA}};
    for (int32_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        for (bool enabled : {false, true}) {
            const auto desc = passBlendDesc(mode, enabled);
            ASSERT_TRUE(desc.has_value());
            EXPECT_FALSE(desc->AlphaToCoverageEnable);
            EXPECT_FALSE(desc->IndependentBlendEnable);
            const gpu::RenderTargetBlendDesc& rt = desc->RenderTarget[0];
            EXPECT_EQ(rt.BlendEnable, enabled);
            EXPECT_EQ(rt.SrcBlend, expected[mode].src);
            EXPECT_EQ(rt.DestBlend, expected[mode].dest);
            EXPECT_EQ(rt.BlendOp, gpu::BlendOp::ADD);
            EXPECT_EQ(rt.SrcBlendAlpha, expected[mode].srcAlpha);
            EXPECT_EQ(rt.DestBlendAlpha, expected[mode].destAlpha);
            EXPECT_EQ(rt.BlendOpAlpha, gpu::BlendOp::ADD);
            EXPECT_EQ(rt.RenderTargetWriteMask, gpu::COLOR_WRITE_ENABLE_ALL);
        }
    }
    EXPECT_FALSE(passBlendDesc(4, true).has_value());
    EXPECT_FALSE(passBlendDesc(-1, false).has_value());
}

} // namespace
