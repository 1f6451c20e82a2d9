// Frame execution: the call sequence of each pass kind, the constant-buffer refresh, activation, the
// end-of-frame flip and the register slots.
#include "gfx/execute_pass.h"
#include "tests/gfx/scene_fixture.h"

#include <gmock/gmock.h>

using namespace Orvo::Gfx;

using namespace Orvo::Gfx;
using ::testing::ElementsAre;

namespace {

using PassSequence = SceneTest;

TEST_F(PassSequence, GraphicsPass) {
    TextureRuntime* target = addTexture(0, 640, 480, 3, false, true); // texture1 uav1 srv1 rtv1
    TextureRuntime* input = addTexture(1, 64, 64);                    // texture2 uav2 srv2 rtv2
    TextureRuntime* depth = addTexture(2, 640, 480, 6);               // texture3 dsv1
    GraphicsPassDesc desc = graphicsDesc(target);
    desc.inputs.append({ResourceTexture, input});
    desc.depth = {depth, true};
    desc.depthEnabled = true;
    desc.blendEnabled = true;
    desc.blendMode = 2;
    desc.vertexCount = 6;
    desc.instanceCount = 10;
    addGraphicsPass(1, desc);
    addFloatVariables(104);
    // The pass makes its states when it is set up; the frame binds them.
    EXPECT_THAT(
        callsOf(takeLog(), {"CreateRasterizerState", "CreateBlendState"}),
        ElementsAre(
            "CreateRasterizerState fill=3 cull=1 ccw=0 bias=0,0,0 clip=1 scissor=0 msaa=0 aaline=0 -> "
            "rasterizer1",
            "CreateBlendState a2c=0 independent=0 enable=1 src=5 dest=6 op=1 srcAlpha=2 destAlpha=1 "
            "opAlpha=1 mask=0xf -> blend1"));
    EXPECT_THAT(frame(1.0f),
                ElementsAre("CreateBuffer bytes=1024 bind=0x4 misc=0x0 stride=1024 data=no -> buffer1",
                            "UpdateSubresource buffer1 0 box=null pitch=0,0",
                            "RSSetViewports [0,0,640,480,0,1]", "ClearRenderTargetView rtv1 0,0,0,1",
                            "ClearDepthStencilView dsv1 flags=1 depth=1 stencil=0",
                            "OMSetRenderTargets [rtv1] depth=dsv1", "RSSetState rasterizer1",
                            "IASetPrimitiveTopology 4", "OMSetBlendState blend1 factor=null mask=0xffffffff",
                            "VSSetConstantBuffers 8 [buffer1]", "PSSetConstantBuffers 8 [buffer1]",
                            "VSSetShaderResources 0 [srv2]", "PSSetShaderResources 0 [srv2]",
                            "VSSetShader vs1", "PSSetShader ps1", "DrawInstanced 6 10 0 0",
                            "VSSetShaderResources 0 [null]", "PSSetShaderResources 0 [null]",
                            "OMSetRenderTargets [null] depth=null", "VSSetShader null", "PSSetShader null",
                            "GenerateMips srv1"));
}

TEST_F(PassSequence, GraphicsPassWithoutClearOrDepthBindsNoDepthView) {
    TextureRuntime* target = addTexture(0, 32, 16);
    TextureRuntime* depth = addTexture(1, 32, 16, 6);
    GraphicsPassDesc desc = graphicsDesc(target);
    desc.clear = false;
    desc.depth = {depth, true}; // depthEnabled stays false
    desc.cullBack = true;
    addGraphicsPass(0, desc);
    EXPECT_THAT(
        callsOf(takeLog(), {"CreateRasterizerState", "CreateBlendState"}),
        ElementsAre(
            "CreateRasterizerState fill=3 cull=3 ccw=0 bias=0,0,0 clip=1 scissor=0 msaa=0 aaline=0 -> "
            "rasterizer1",
            "CreateBlendState a2c=0 independent=0 enable=0 src=2 dest=2 op=1 srcAlpha=2 destAlpha=2 "
            "opAlpha=1 mask=0xf -> blend1"));
    EXPECT_THAT(callsOf(frame(0.0f), {"Clear", "OMSetRenderTargets", "RSSetState", "OMSetBlendState"}),
                ElementsAre("OMSetRenderTargets [rtv1] depth=null", "RSSetState rasterizer1",
                            "OMSetBlendState blend1 factor=null mask=0xffffffff",
                            "OMSetRenderTargets [null] depth=null"));
}

TEST_F(PassSequence, ComputePassOutputsFollowTheInputs) {
    const float values[4] = {1, 2, 3, 4};
    DataSourceDesc source;
    source.elements = values;
    source.elementCount = 4;
    auto* data = new BufferDataRuntime; // buffer1 srv1 uav1
    data->init(source, false);
    scene->resources.findOrInsert(0) = data;
    BufferRuntime* objects = addBuffer(1, 16, 256); // buffer2 srv2 uav2
    TextureDesc volumeDesc;
    volumeDesc.dimension = 2;
    volumeDesc.width = volumeDesc.height = volumeDesc.depth = 8;
    volumeDesc.generateMips = true;
    auto* volume = new TextureRuntime; // texture1 uav3 srv3
    volume->init(volumeDesc, false);
    scene->resources.findOrInsert(2) = volume;

    ComputePassDesc desc = computeDesc();
    desc.inputs.append({ResourceBuffer, data});
    desc.outputs.append({ResourceBuffer, objects});
    desc.outputs.append({ResourceTexture, volume});
    desc.threadsX = 256;
    desc.threadsY = 12;
    desc.threadsZ = 0;
    addComputePass(0, desc);
    EXPECT_THAT(
        frame(0.0f),
        ElementsAre("CreateBuffer bytes=608 bind=0x4 misc=0x0 stride=608 data=no -> buffer3",
                    "UpdateSubresource buffer3 0 box=null pitch=0,0", "CSSetConstantBuffers 8 [buffer3]",
                    "CSSetShaderResources 0 [srv1]", "CSSetUnorderedAccessViews 1 [uav2] counts=null",
                    "CSSetUnorderedAccessViews 2 [uav3] counts=null", "CSSetShader cs1", "Dispatch 32 2 1",
                    "CSSetShaderResources 0 [null]", "CSSetUnorderedAccessViews 1 [null,null] counts=null",
                    "CSSetShader null", "GenerateMips srv3"));
}

TEST(DispatchGroups, ThreadsDividedByEightRoundedUpAtLeastOne) {
    EXPECT_EQ(dispatchGroupCount(256), 32u);
    EXPECT_EQ(dispatchGroupCount(12), 2u);
    EXPECT_EQ(dispatchGroupCount(0), 1u);
    EXPECT_EQ(dispatchGroupCount(8), 1u);
    EXPECT_EQ(dispatchGroupCount(9), 2u);
    EXPECT_EQ(dispatchGroupCount(4294967295u), 536870912u);
}

using ContextBufferRefresh = SceneTest;

TEST_F(ContextBufferRefresh, MadeOnceForTheBlockSizeAndUploadedByEveryRunningPass) {
    TextureRuntime* target = addTexture(0, 8, 8);
    GraphicsPassDesc skipped = graphicsDesc(target);
    skipped.pixelBytecode = nullptr; // no shaders: uploads nothing, binds nothing
    addGraphicsPass(0, skipped);
    addGraphicsPass(1, graphicsDesc(target));
    addGraphicsPass(2, graphicsDesc(target));
    addFloatVariables(104);
    EXPECT_THAT(
        callsOf(frame(0.0f), {"CreateBuffer", "UpdateSubresource", "VSSetConstantBuffers", "DrawInstanced"}),
        ElementsAre("CreateBuffer bytes=1024 bind=0x4 misc=0x0 stride=1024 data=no -> buffer1",
                    "UpdateSubresource buffer1 0 box=null pitch=0,0", "VSSetConstantBuffers 8 [buffer1]",
                    "DrawInstanced 3 1 0 0", "UpdateSubresource buffer1 0 box=null pitch=0,0",
                    "VSSetConstantBuffers 8 [buffer1]", "DrawInstanced 3 1 0 0"));
    // The publication records the bare header's size, but the buffer already has the block's: it stays.
    EXPECT_THAT(
        callsOf(frame(0.1f), {"CreateBuffer", "UpdateSubresource", "VSSetConstantBuffers"}),
        ElementsAre("UpdateSubresource buffer1 0 box=null pitch=0,0", "VSSetConstantBuffers 8 [buffer1]",
                    "UpdateSubresource buffer1 0 box=null pitch=0,0", "VSSetConstantBuffers 8 [buffer1]"));
    EXPECT_EQ(contextBufferDesc.stride, 1024u);
    // A block that needs another register makes a buffer of its size.
    addFloatVariables(1);
    EXPECT_THAT(callsOf(frame(0.2f), {"CreateBuffer", "UpdateSubresource"}),
                ElementsAre("CreateBuffer bytes=1040 bind=0x4 misc=0x0 stride=1040 data=no -> buffer2",
                            "UpdateSubresource buffer2 0 box=null pitch=0,0",
                            "UpdateSubresource buffer2 0 box=null pitch=0,0"));
    // Without a publication the recorded size already matches: the buffer stays.
    takeLog();
    scene->renderFrame();
    EXPECT_EQ(countCalls(takeLog(), "CreateBuffer"), 0u);
}

TEST_F(ContextBufferRefresh, ANewDeviceGetsItsOwnBuffer) {
    addGraphicsPass(0, graphicsDesc(addTexture(0, 8, 8)));
    frame(0.0f);
    auto second = gpu::Ref<recording::Device>::adopt(new recording::Device);
    FrameContext context = {};
    context.device = second.get();
    context.immediateContext = &second->context();
    installFrameContext(context);
    second->log.clear();
    scene->renderFrame(); // the recorded size is unchanged, but the old buffer belongs to the old device
    EXPECT_EQ(countCalls(second->log, "CreateBuffer"), 1u);
    releaseFrameContext();
}

using SteadyFrames = SceneTest;

// Every object a frame needs is made before the second frame; after that only an edited descriptor makes
// new state objects, in the frame that first runs the pass, and they are the ones bound from then on.
TEST_F(SteadyFrames, CreateNothingAfterTheFirstUntilAPassIsEditedAndThenBindItsNewStates) {
    TextureRuntime* image = addTexture(0, 64, 32);
    TextureRuntime* blurred = addTexture(1, 64, 32);
    ComputePassDesc simulation = computeDesc();
    simulation.outputs.append({ResourceBuffer, addBuffer(2, 16, 64)});
    addComputePass(0, simulation);
    GraphicsPassDesc overDesc = graphicsDesc(image);
    overDesc.blendEnabled = true;
    overDesc.blendMode = 2;
    GraphicsPass* over = addGraphicsPass(0, overDesc); // rasterizer1 blend1
    GraphicsPassDesc blurDesc = graphicsDesc(blurred);
    blurDesc.inputs.append({ResourceTexture, image});
    addGraphicsPass(1, blurDesc); // rasterizer2 blend2
    scene->output = blurred;
    scene->appendOutputPass(64, 32); // rasterizer3 blend3
    addFloatVariables(104);
    const std::initializer_list<const char*> binds = {"Create", "RSSetState", "OMSetBlendState",
                                                      "DrawInstanced"};
    const char* const mask = " factor=null mask=0xffffffff";

    EXPECT_EQ(countCalls(frame(0.0f), "Create"), 1u); // the context buffer
    for (float time : {0.1f, 0.2f}) EXPECT_EQ(countCalls(frame(time), "Create"), 0u) << time;

    over->desc.blendMode = 0;
    over->desc.cullBack = true;
    EXPECT_THAT(
        callsOf(frame(0.3f), binds),
        ElementsAre(
            "CreateRasterizerState fill=3 cull=3 ccw=0 bias=0,0,0 clip=1 scissor=0 msaa=0 aaline=0 -> "
            "rasterizer4",
            "CreateBlendState a2c=0 independent=0 enable=1 src=2 dest=2 op=1 srcAlpha=2 destAlpha=2 "
            "opAlpha=1 mask=0xf -> blend4",
            "RSSetState rasterizer4", std::string("OMSetBlendState blend4") + mask, "DrawInstanced 3 1 0 0",
            "RSSetState rasterizer2", std::string("OMSetBlendState blend2") + mask, "DrawInstanced 3 1 0 0",
            "RSSetState rasterizer3", std::string("OMSetBlendState blend3") + mask, "DrawInstanced 3 1 0 0"));
    EXPECT_EQ(countCalls(frame(0.4f), "Create"), 0u);

    // A mode without a row stops the pass; switching blending off on a valid row brings it back with a
    // state made for that row, and the rasterizer state, still right, is kept.
    over->desc.blendMode = 4;
    EXPECT_THAT(callsOf(frame(0.5f), binds),
                ElementsAre("RSSetState rasterizer2", std::string("OMSetBlendState blend2") + mask,
                            "DrawInstanced 3 1 0 0", "RSSetState rasterizer3",
                            std::string("OMSetBlendState blend3") + mask, "DrawInstanced 3 1 0 0"));
    over->desc.blendMode = 1;
    over->desc.blendEnabled = false;
    EXPECT_THAT(callsOf(frame(0.6f), {"Create", "RSSetState rasterizer4", "OMSetBlendState blend5"}),
                ElementsAre("CreateBlendState a2c=0 independent=0 enable=0 src=5 dest=6 op=1 srcAlpha=8 "
                            "destAlpha=2 opAlpha=1 mask=0xf -> blend5",
                            "RSSetState rasterizer4", std::string("OMSetBlendState blend5") + mask));
    EXPECT_EQ(countCalls(frame(0.7f), "Create"), 0u);
}

using Activation = SceneTest;

TEST(ActivationRule, ModesAndWindowEdges) {
    EXPECT_TRUE(passIsActive(0, 0.0f, 0.0f, 50.0f, false));
    EXPECT_TRUE(passIsActive(1, 0.0f, 0.0f, 50.0f, true));
    EXPECT_FALSE(passIsActive(1, 0.0f, 100.0f, 50.0f, false));
    EXPECT_TRUE(passIsActive(2, 10.0f, 20.0f, 10.0f, false));
    EXPECT_TRUE(passIsActive(2, 10.0f, 20.0f, 20.0f, false));
    EXPECT_FALSE(passIsActive(2, 10.0f, 20.0f, 20.01f, false));
    EXPECT_FALSE(passIsActive(2, 10.0f, 20.0f, 9.99f, true));
    EXPECT_FALSE(passIsActive(5, 0.0f, 100000.0f, 1.0f, true));
    EXPECT_FALSE(passIsActive(-1, 0.0f, 100000.0f, 1.0f, true));
}

TEST_F(Activation, PassesRunInTheFramesTheirActivationAllows) {
    TextureRuntime* target = addTexture(0, 8, 8);
    const int32_t activations[] = {0, 1, 2, 5};
    for (uint32_t i = 0; i < 4; ++i) {
        GraphicsPassDesc desc = graphicsDesc(target);
        desc.activation = activations[i];
        desc.windowStart = 10.0f;
        desc.windowEnd = 20.0f;
        desc.vertexCount = i; // identifies the pass in the log
        addGraphicsPass(i, desc);
    }
    ComputePassDesc compute = computeDesc();
    compute.activation = 1;
    addComputePass(0, compute);
    scene->firstFrame = true;
    EXPECT_THAT(callsOf(frame(0.0f), {"DrawInstanced", "Dispatch"}),
                ElementsAre("DrawInstanced 0 1 0 0", "DrawInstanced 1 1 0 0", "Dispatch 1 1 1"));
    EXPECT_FALSE(scene->firstFrame);
    EXPECT_THAT(callsOf(frame(10.0f), {"DrawInstanced", "Dispatch"}),
                ElementsAre("DrawInstanced 0 1 0 0", "DrawInstanced 2 1 0 0"));
    EXPECT_THAT(callsOf(frame(20.0f), {"DrawInstanced"}),
                ElementsAre("DrawInstanced 0 1 0 0", "DrawInstanced 2 1 0 0"));
    EXPECT_THAT(callsOf(frame(20.01f), {"DrawInstanced"}), ElementsAre("DrawInstanced 0 1 0 0"));
}

using FrameEnd = SceneTest;

TEST_F(FrameEnd, UnknownListKindIsSkippedButTheFrameStillFlips) {
    TextureRuntime* pingPong = addTexture(0, 8, 8, 3, true);
    TextureRuntime* single = addTexture(1, 8, 8);
    GraphicsPass* pass = addGraphicsPass(0, graphicsDesc(pingPong));
    scene->passes[0].kind = 2;
    PassListEntry missing = PassListEntry::of(static_cast<GraphicsPass*>(nullptr));
    scene->passes.append(missing);
    scene->firstFrame = true;
    EXPECT_TRUE(frame(0.0f).empty());
    EXPECT_TRUE(pingPong->flipped);
    EXPECT_FALSE(single->flipped);
    EXPECT_FALSE(scene->firstFrame);
    frame(0.0f);
    EXPECT_FALSE(pingPong->flipped);
    EXPECT_EQ(scene->passes[0].graphics, pass);
}

TEST_F(FrameEnd, DoubleBufferedTargetIsReadByALaterPassFromTheOtherCopy) {
    TextureRuntime* pingPong =
        addTexture(0, 8, 8, 3, true);             // A: texture1 uav1 srv1 rtv1, B: texture2 ... rtv2
    TextureRuntime* result = addTexture(1, 8, 8); // texture3 uav3 srv3 rtv3
    addGraphicsPass(0, graphicsDesc(pingPong));
    GraphicsPassDesc reader = graphicsDesc(result);
    reader.inputs.append({ResourceTexture, pingPong});
    addGraphicsPass(1, reader);
    const std::initializer_list<const char*> binds = {"OMSetRenderTargets [rtv",
                                                      "PSSetShaderResources 0 [srv"};
    EXPECT_THAT(callsOf(frame(0.0f), binds),
                ElementsAre("OMSetRenderTargets [rtv1] depth=null", "OMSetRenderTargets [rtv3] depth=null",
                            "PSSetShaderResources 0 [srv2]"));
    EXPECT_THAT(callsOf(frame(0.0f), binds),
                ElementsAre("OMSetRenderTargets [rtv2] depth=null", "OMSetRenderTargets [rtv3] depth=null",
                            "PSSetShaderResources 0 [srv1]"));
}

TEST_F(FrameEnd, UnregisteredResourcesNeverFlip) {
    TextureRuntime loose;
    TextureDesc desc;
    loose.init(desc, true);
    addGraphicsPass(0, graphicsDesc(&loose));
    frame(0.0f);
    EXPECT_FALSE(loose.flipped);
}

using Slots = SceneTest;

TEST_F(Slots, NullInputLeavesItsSlotUnboundAndLaterInputsKeepTheirs) {
    TextureRuntime* target = addTexture(0, 8, 8); // srv1
    TextureRuntime* first = addTexture(1, 8, 8);  // srv2
    TextureRuntime* third = addTexture(2, 8, 8);  // srv3
    GraphicsPassDesc desc = graphicsDesc(target);
    desc.inputs.append({ResourceTexture, first});
    desc.inputs.append({ResourceTexture, nullptr});
    desc.inputs.append({ResourceTexture, third});
    addGraphicsPass(0, desc);
    EXPECT_THAT(callsOf(frame(0.0f), {"VSSetShaderResources"}),
                ElementsAre("VSSetShaderResources 0 [srv2]", "VSSetShaderResources 2 [srv3]",
                            "VSSetShaderResources 0 [null,null,null]"));
}

TEST_F(Slots, InputsAndTargetsBeyondTheRegistersAreLeftOut) {
    TextureRuntime* texture = addTexture(0, 8, 8);
    GraphicsPassDesc desc = graphicsDesc(texture);
    for (int i = 0; i < 9; ++i) desc.targets.append({texture, true}); // 10 targets, 8 render-target slots
    for (int i = 0; i < 20; ++i) desc.inputs.append({ResourceTexture, texture});
    addGraphicsPass(0, desc);
    const auto log = frame(0.0f);
    EXPECT_EQ(countCalls(log, "VSSetShaderResources 15 "), 1u);
    EXPECT_EQ(countCalls(log, "VSSetShaderResources 16 "), 0u);
    EXPECT_EQ(
        countCalls(log, "VSSetShaderResources 0 [null,null,null,null,null,null,null,null,null,null,null,null,"
                        "null,null,null,null]"),
        1u);
    EXPECT_EQ(countCalls(log, "OMSetRenderTargets [rtv1,rtv1,rtv1,rtv1,rtv1,rtv1,rtv1,rtv1] "), 1u);
    EXPECT_EQ(countCalls(log, "OMSetRenderTargets [null,null,null,null,null,null,null,null] "), 1u);
}

TEST_F(Slots, ComputeOutputsPastTheLastUnorderedAccessSlotAreLeftOut) {
    BufferRuntime* buffer = addBuffer(0, 4, 4); // srv1 uav1
    ComputePassDesc desc = computeDesc();
    for (int i = 0; i < 7; ++i) desc.inputs.append({ResourceBuffer, buffer});
    desc.outputs.append({ResourceBuffer, buffer}); // u7
    desc.outputs.append({ResourceBuffer, buffer}); // would be u8
    addComputePass(0, desc);
    EXPECT_THAT(callsOf(frame(0.0f), {"CSSetUnorderedAccessViews"}),
                ElementsAre("CSSetUnorderedAccessViews 7 [uav1] counts=null",
                            "CSSetUnorderedAccessViews 7 [null] counts=null"));
}

TEST_F(Slots, PassesWithoutARowOrATargetAreNotDrawn) {
    TextureRuntime* target = addTexture(0, 8, 8);
    GraphicsPassDesc badTopology = graphicsDesc(target);
    badTopology.topology = 5;
    addGraphicsPass(0, badTopology);
    GraphicsPassDesc badBlend = graphicsDesc(target);
    badBlend.blendMode = 4;
    addGraphicsPass(1, badBlend);
    addGraphicsPass(2, graphicsDesc(nullptr));
    GraphicsPassDesc nullTarget = graphicsDesc(nullptr);
    nullTarget.targets.append({nullptr, true});
    addGraphicsPass(3, nullTarget);
    EXPECT_TRUE(frame(0.0f).empty());
}

TEST_F(Slots, NullTargetAfterTheFirstBindsANullView) {
    TextureRuntime* target = addTexture(0, 8, 8);
    GraphicsPassDesc desc = graphicsDesc(target);
    desc.targets.append({nullptr, true});
    addGraphicsPass(0, desc);
    EXPECT_THAT(callsOf(frame(0.0f), {"ClearRenderTargetView", "OMSetRenderTargets"}),
                ElementsAre("ClearRenderTargetView rtv1 0,0,0,1", "OMSetRenderTargets [rtv1,null] depth=null",
                            "OMSetRenderTargets [null,null] depth=null"));
}

} // namespace
