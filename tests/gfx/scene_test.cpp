// The scene around the passes: packing the context variables into the block, the output pass, the frame
// context installation and what the scene owns.
#include "gfx/context_buffer.h"
#include "gfx/pass_programs.h"
#include "tests/gfx/scene_fixture.h"

#include <gmock/gmock.h>

using namespace Orvo::Gfx;
using namespace base;
using namespace shaders;
using namespace sync_tracks;

using namespace Orvo::Gfx;
using ::testing::ElementsAre;

namespace {

ContextVariable variable(VariableType type, std::initializer_list<float> values) {
    ContextVariable v = {};
    v.type = type;
    uint32_t i = 0;
    for (float value : values) std::memcpy(v.value + 4 * i++, &value, 4);
    return v;
}

float floatAt(const std::vector<uint8_t>& bytes, size_t offset) {
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

TEST(VariablePacking, OffsetsFollowTheTypeSizesWithoutAlignment) {
    VariablePacker packer;
    DynArray<ContextVariable> variables;
    variables.append(variable(VariableType::Float3, {1, 2, 3}));
    variables.append(variable(VariableType::Float, {4}));
    variables.append(variable(VariableType::Float2, {5, 6}));
    variables.append(variable(VariableType::Float4, {7, 8, 9, 10}));
    variables.append(variable(VariableType::Scalar4, {11}));
    variables.append(variable(VariableType(9), {12})); // no such type: no bytes
    variables.append(variable(VariableType::Float, {13}));
    packVariables(packer, variables);
    EXPECT_THAT(std::vector<uint32_t>(packer.offsets.begin(), packer.offsets.end()),
                ElementsAre(0, 12, 16, 24, 40, 44, 44, 48));
    EXPECT_EQ(packer.packedLength, 48u);
    std::vector<float> packed(12);
    std::memcpy(packed.data(), packer.packed.data(), 48);
    EXPECT_THAT(packed, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13));
    EXPECT_EQ(packer.variables.count, 7u);
}

TEST(VariablePacking, HundredAndFourFloatsPackToFourHundredAndSixteenBytes) {
    VariablePacker packer;
    DynArray<ContextVariable> variables;
    for (int i = 0; i < 104; ++i) variables.append(variable(VariableType::Float, {float(i)}));
    packVariables(packer, variables);
    ASSERT_EQ(packer.offsets.count, 105u);
    for (uint32_t i = 0; i <= 104; ++i) EXPECT_EQ(packer.offsets[i], 4 * i);
    EXPECT_EQ(packer.packedLength, 416u);
    // Packing again replaces what the previous frame left, in the storage it left.
    const void* const storage[] = {packer.variables.items, packer.offsets.items, packer.packed.data()};
    DynArray<ContextVariable> fewer;
    fewer.append(variable(VariableType::Float2, {1, 2}));
    packVariables(packer, fewer);
    EXPECT_THAT(std::vector<uint32_t>(packer.offsets.begin(), packer.offsets.end()), ElementsAre(0, 8));
    EXPECT_EQ(packer.packedLength, 8u);
    EXPECT_EQ(packer.variables.count, 1u);
    for (int round = 0; round < 2; ++round) {
        packVariables(packer, variables);
        EXPECT_EQ(packer.packedLength, 416u);
        float last;
        std::memcpy(&last, packer.packed.data() + 412, 4);
        EXPECT_EQ(last, 103.0f);
    }
    const void* const reused[] = {packer.variables.items, packer.offsets.items, packer.packed.data()};
    EXPECT_THAT(reused, ::testing::ElementsAreArray(storage));
    // The packer's own copy packs to itself.
    packVariables(packer, packer.variables);
    EXPECT_EQ(packer.packedLength, 416u);
    EXPECT_EQ(packer.variables.count, 104u);
}

using ContextBlock = SceneTest;

const std::vector<uint8_t>& uploadedBlock() {
    return recording::bufferContents(sharedContextBuffer().getResource(false));
}

TEST_F(ContextBlock, HeaderThenTrackValuesInAThousandAndTwentyFourBytes) {
    addGraphicsPass(0, graphicsDesc(addTexture(0, 8, 8)));
    addFloatVariables(104); // value i * 0.5
    currentFrameContext.header.frame = 77;
    currentFrameContext.header.resolution = {1920.0f, 1080.0f};
    EXPECT_EQ(callsOf(frame(3.5f), {"CreateBuffer"})[0],
              "CreateBuffer bytes=1024 bind=0x4 misc=0x0 stride=1024 data=no -> buffer1");
    const auto& block = uploadedBlock();
    ASSERT_EQ(block.size(), 1024u);
    EXPECT_EQ(floatAt(block, 0), 3.5f);
    uint32_t frameNumber;
    std::memcpy(&frameNumber, block.data() + 4, 4);
    EXPECT_EQ(frameNumber, 77u);
    EXPECT_EQ(floatAt(block, 16), 1920.0f);
    EXPECT_EQ(floatAt(block, 20), 1080.0f);
    EXPECT_EQ(floatAt(block, 608), 0.0f);
    EXPECT_EQ(floatAt(block, 608 + 4 * 13), 6.5f);
    EXPECT_EQ(floatAt(block, 1020), 51.5f);
}

TEST_F(ContextBlock, HundredAndFiveFloatsRoundUpToTenFortyWithZeroPadding) {
    addGraphicsPass(0, graphicsDesc(addTexture(0, 8, 8)));
    addFloatVariables(105);
    EXPECT_EQ(callsOf(frame(0.0f), {"CreateBuffer"})[0],
              "CreateBuffer bytes=1040 bind=0x4 misc=0x0 stride=1040 data=no -> buffer1");
    const auto& block = uploadedBlock();
    ASSERT_EQ(block.size(), 1040u);
    EXPECT_EQ(floatAt(block, 1024), 52.0f);
    EXPECT_THAT(std::vector<uint8_t>(block.begin() + 1028, block.end()), ::testing::Each(0));
}

TEST_F(ContextBlock, FloatAfterAFloat3StartsAtSixTwenty) {
    addGraphicsPass(0, graphicsDesc(addTexture(0, 8, 8)));
    scene->variables.append(variable(VariableType::Float3, {1.5f, 2.5f, 3.5f}));
    scene->variables.append(variable(VariableType::Float, {-4.0f}));
    frame(0.0f);
    const auto& block = uploadedBlock();
    ASSERT_EQ(block.size(), 624u);
    EXPECT_EQ(floatAt(block, 608), 1.5f);
    EXPECT_EQ(floatAt(block, 616), 3.5f);
    EXPECT_EQ(floatAt(block, 620), -4.0f);
}

using OutputPass = SceneTest;

TEST_F(OutputPass, AppendsAScreenSizedCopyOfThePreviousOutput) {
    TextureRuntime* sceneOutput = addTexture(21, 1920, 1080);
    addGraphicsPass(7, graphicsDesc(sceneOutput));
    scene->output = sceneOutput;
    scene->appendOutputPass(1920, 1080);

    ASSERT_EQ(scene->passes.count, 2u);
    const PassListEntry& last = scene->passes[1];
    EXPECT_EQ(last.kind, PassListGraphics);
    TextureRuntime* output = scene->output;
    ASSERT_NE(output, sceneOutput);
    EXPECT_EQ(output->desc.dimension, 1);
    EXPECT_EQ(output->desc.width, 1920u);
    EXPECT_EQ(output->desc.height, 1080u);
    EXPECT_EQ(output->desc.format, 3);
    EXPECT_FALSE(output->desc.generateMips);
    EXPECT_FALSE(output->doubleBuffered);
    EXPECT_EQ(scene->resources.count, 1u); // not registered
    EXPECT_EQ(scene->graphicsPasses.count, 1u);

    const GraphicsPassDesc& d = last.graphics->desc;
    ASSERT_EQ(d.targets.count, 1u);
    EXPECT_EQ(d.targets[0].resource, output);
    ASSERT_EQ(d.inputs.count, 1u);
    EXPECT_EQ(d.inputs[0].kind, ResourceTexture);
    EXPECT_EQ(d.inputs[0].resource, sceneOutput);
    EXPECT_EQ(d.depth.resource, nullptr);
    const ShaderProgram* vertex = shaders::findShaderProgram("output_vs");
    ASSERT_NE(vertex, nullptr);
    EXPECT_EQ(d.vertexBytecode, vertex->bytecode);
    EXPECT_NE(last.graphics->pipeline.pixelShader.get(), nullptr);

    // Its render target A (rtv2, after the scene output's rtv1) gets the whole screen, cleared to black.
    const auto log = frame(0.0f);
    const auto calls = callsOf(
        log, {"RSSetViewports", "ClearRenderTargetView", "PSSetShaderResources 0 [s", "DrawInstanced"});
    EXPECT_THAT(std::vector<std::string>(calls.begin() + 3, calls.end()),
                ElementsAre("RSSetViewports [0,0,1920,1080,0,1]", "ClearRenderTargetView rtv2 0,0,0,1",
                            "PSSetShaderResources 0 [srv1]", "DrawInstanced 3 1 0 0"));
}

TEST_F(OutputPass, BackBufferViewReplacesTheTargetOfTheFinalPass) {
    TextureRuntime* sceneOutput = addTexture(21, 640, 360); // rtv1
    scene->output = sceneOutput;
    scene->appendOutputPass(640, 360); // rtv2
    TextureRuntime backBuffer;
    backBuffer.init(TextureDesc{}, false); // rtv3
    // A back buffer taller than the picture gets it in the middle, on black.
    useBackBuffer(*scene, backBuffer.getRTV(false), 640, 480);
    EXPECT_THAT(callsOf(frame(0.0f), {"RSSetViewports", "ClearRenderTargetView", "OMSetRenderTargets [r"}),
                ElementsAre("RSSetViewports [0,60,640,360,0,1]", "ClearRenderTargetView rtv3 0,0,0,1",
                            "OMSetRenderTargets [rtv3] depth=null"));
    // One of the picture's own size has it at the origin.
    useBackBuffer(*scene, backBuffer.getRTV(false), 640, 360);
    EXPECT_THAT(callsOf(frame(1.0f), {"RSSetViewports"}), ElementsAre("RSSetViewports [0,0,640,360,0,1]"));
}

TEST(FrameContextInstallation, CopiesTheHeaderAndBindsTheSixSamplersToEveryStage) {
    auto device = gpu::Ref<recording::Device>::adopt(new recording::Device);
    FrameContext context = {};
    context.header.time = 5.0f;
    context.device = device.get();
    context.immediateContext = &device->context();
    installFrameContext(context);
    EXPECT_EQ(currentFrameContext.header.time, 5.0f);
    EXPECT_EQ(currentFrameContext.device, device.get());
    EXPECT_EQ(currentFrameContext.immediateContext, &device->context());
    const std::string rest =
        " bias=0 aniso=1 compare=1 border=0,0,0,0 lod=-3.40282e+38,3.40282e+38 -> sampler";
    const std::string all = "0 [sampler1,sampler2,sampler3,sampler4,sampler5,sampler6]";
    EXPECT_THAT(device->log,
                ElementsAre("CreateSamplerState filter=0x15 address=3,3,3" + rest + "1",
                            "CreateSamplerState filter=0x15 address=4,4,4" + rest + "2",
                            "CreateSamplerState filter=0x15 address=1,1,1" + rest + "3",
                            "CreateSamplerState filter=0x0 address=3,3,3" + rest + "4",
                            "CreateSamplerState filter=0x0 address=4,4,4" + rest + "5",
                            "CreateSamplerState filter=0x0 address=1,1,1" + rest + "6",
                            "VSSetSamplers " + all, "PSSetSamplers " + all, "CSSetSamplers " + all));
    releaseFrameContext();
    EXPECT_EQ(currentFrameContext.device, nullptr);
}

struct CountedTexture : TextureRuntime {
    int* destroyed;
    explicit CountedTexture(int* counter) : destroyed(counter) {}
    ~CountedTexture() override { ++*destroyed; }
};

TEST(SceneOwnership, RegisteredObjectsAreDeletedOnceWhateverTheirIds) {
    int destroyed = 0;
    {
        Scene scene;
        auto* texture = new CountedTexture(&destroyed);
        scene.resources.findOrInsert(3) = texture;
        scene.resources.findOrInsert(19) = texture;
        scene.resources.findOrInsert(4) = new CountedTexture(&destroyed);
        scene.resources.findOrInsert(5); // a slot that was never filled
        auto* pass = new GraphicsPass;
        scene.graphicsPasses.findOrInsert(0) = pass;
        scene.graphicsPasses.findOrInsert(1) = pass;
        scene.passes.append(PassListEntry::of(pass));
        scene.output = texture;
        scene.appendOutputPass(4, 4);
    }
    EXPECT_EQ(destroyed, 2);
}

} // namespace
