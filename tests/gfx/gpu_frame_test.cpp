// Frames on the machine's Vulkan driver (lavapipe here), with the validation layer on: the ping-pong rule
// of double-buffered textures and a compute pass feeding a graphics pass in the same frame.
#include "gfx/buffer_data_runtime.h"
#include "gfx/pass_programs.h"
#include "tests/gfx/gpu_scene_fixture.h"

#include <gmock/gmock.h>

using namespace shaders;

using namespace Orvo::Gfx;

namespace gfx_test_shaders {
const ShaderProgram* findShaderProgram(std::string_view name);
}

namespace {

class GpuFrame : public GpuSceneTest {
  protected:
    TextureRuntime* addTexture(uint32_t id, uint32_t width, uint32_t height, bool doubleBuffered) {
        TextureDesc desc;
        desc.width = width;
        desc.height = height;
        desc.format = 4; // R32G32B32A32_FLOAT: exact values to read back
        auto* texture = new TextureRuntime;
        texture->init(desc, doubleBuffered);
        scene->resources.findOrInsert(id) = texture;
        return texture;
    }

    GraphicsPass* addGraphicsPass(uint32_t key, const char* pixelProgram, TextureRuntime* target,
                                  Resource* input, int32_t inputKind) {
        GraphicsPassDesc desc;
        useGraphicsPrograms(desc, shaders::findShaderProgram("fullscreen_vs"),
                            gfx_test_shaders::findShaderProgram(pixelProgram));
        desc.targets.append({target, true});
        if (input) desc.inputs.append({inputKind, input});
        auto* pass = new GraphicsPass;
        setupGraphicsPass(*pass, desc);
        scene->graphicsPasses.findOrInsert(key) = pass;
        scene->passes.append(PassListEntry::of(pass));
        return pass;
    }
};

TEST_F(GpuFrame, DoubleBufferedTextureIsReadAsThePreviousFrameLeftIt) {
    TextureRuntime* stamped = addTexture(0, 8, 8, true);
    TextureRuntime* copy = addTexture(1, 8, 8, false);
    GraphicsPass* stamp = addGraphicsPass(0, "frame_stamp_ps", stamped, nullptr, ResourceTexture);
    GraphicsPass* reader = addGraphicsPass(1, "copy_input_ps", copy, stamped, ResourceTexture);
    ASSERT_TRUE(stamp->pipeline.pixelShader && reader->pipeline.pixelShader);

    renderFrame(0);
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        renderFrame(frame);
        // Frame n stamps n + 1 into one copy; the reader sees the other copy, stamped n by frame n - 1.
        const std::vector<Texel> texels = readTexels(*copy);
        for (const Texel& t : texels) ASSERT_EQ(t.r, float(frame)) << "frame " << frame;
    }
}

TEST_F(GpuFrame, ComputePassFeedsAGraphicsPassOfTheSameFrame) {
    std::vector<float> values(16);
    for (size_t i = 0; i < values.size(); ++i) values[i] = float(i) * 0.25f;
    DataSourceDesc source;
    source.elementType = ElementFloat32;
    source.elements = values.data();
    source.elementCount = uint32_t(values.size());
    auto* data = new BufferDataRuntime;
    data->init(source, false);
    scene->resources.findOrInsert(0) = data;
    BufferDesc objectsDesc;
    objectsDesc.stride = 16;
    objectsDesc.countX = 16;
    auto* objects = new BufferRuntime;
    objects->init(objectsDesc, false);
    scene->resources.findOrInsert(1) = objects;
    TextureRuntime* image = addTexture(2, 16, 1, false);

    ComputePassDesc computeDesc;
    useComputeProgram(computeDesc, gfx_test_shaders::findShaderProgram("double_values_cs"));
    computeDesc.threadsX = 16;
    computeDesc.threadsY = 1;
    computeDesc.threadsZ = 1;
    computeDesc.inputs.append({ResourceBuffer, data});
    computeDesc.outputs.append({ResourceBuffer, objects}); // u1, behind the one input
    auto* compute = new ComputePass;
    setupComputePass(*compute, computeDesc);
    ASSERT_TRUE(compute->pipeline.computeShader);
    scene->computePasses.findOrInsert(0) = compute;
    scene->passes.append(PassListEntry::of(compute));
    addGraphicsPass(0, "objects_to_pixels_ps", image, objects, ResourceBuffer);

    renderFrame(5);
    const std::vector<Texel> texels = readTexels(*image);
    for (uint32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(texels[x].r, float(x) * 0.5f) << x;
        EXPECT_EQ(texels[x].g, float(x)) << x;
        EXPECT_EQ(texels[x].b, 5.0f) << x;
        EXPECT_EQ(texels[x].a, 1.0f) << x;
    }
}

} // namespace
