#include "tests/shaders/effects/effect_pass_fixture.h"

#include "gfx/install_frame_context.h"
#include "gfx/pass_programs.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstring>
#include <fstream>

using namespace Orvo::Gfx;
using namespace base;
using namespace sync_tracks;

using namespace Orvo::Gfx;

void EffectPassTest::SetUp() {
    GpuTest::SetUp();
    if (HasFatalFailure()) return;
    FrameContext installed = {};
    installed.device = device.get();
    installed.immediateContext = context.get();
    installFrameContext(installed);
    scene = std::make_unique<Scene>();
    std::ifstream names(MIRELANDT_TRACK_NAMES);
    for (std::string name; std::getline(names, name);) {
        ContextVariable variable = {};
        std::strncpy(variable.name, name.c_str(), sizeof(variable.name) - 1);
        variable.type = VariableType::Float;
        scene->variables.append(variable);
    }
    ASSERT_EQ(scene->variables.count, 104u);
    view = identityMatrix();
    projection = identityMatrix();
}

void EffectPassTest::TearDown() {
    // The scene's objects and the runtime's constant buffer go before the device does.
    scene.reset();
    releaseFrameContext();
    GpuTest::TearDown();
}

template <class T> T* EffectPassTest::registered(T* resource) {
    scene->resources.findOrInsert(nextId++) = resource;
    return resource;
}

TextureRuntime* EffectPassTest::texture(uint32_t width, uint32_t height, int32_t format) {
    TextureDesc desc;
    desc.width = width;
    desc.height = height;
    desc.format = format;
    auto* texture = registered(new TextureRuntime);
    texture->init(desc, false);
    EXPECT_TRUE(texture->getResource(false)) << device->GetLastError();
    return texture;
}

TextureRuntime* EffectPassTest::image(uint32_t width, uint32_t height, const std::vector<Float4>& texels) {
    TextureRuntime* input = texture(width, height);
    EXPECT_EQ(texels.size(), size_t(width) * height);
    input->uploadRegion(texels.data(), width, height, sizeof(Float4));
    return input;
}

namespace {

BufferDataRuntime* dataBuffer(int32_t elementType, const void* elements, size_t count) {
    DataSourceDesc source;
    source.elementType = elementType;
    source.elements = elements;
    source.elementCount = uint32_t(count);
    auto* buffer = new BufferDataRuntime;
    buffer->init(source, false);
    return buffer;
}

BufferRuntime* structuredBuffer(uint32_t stride, uint32_t count, const void* initial, bool indices = false,
                                bool drawArguments = false) {
    BufferDesc desc;
    desc.stride = stride;
    desc.countX = count;
    desc.initialData = initial;
    desc.indices = indices;
    desc.drawArguments = drawArguments;
    auto* buffer = new BufferRuntime;
    // Index and argument buffers are typed, as the show makes them: no backend takes them structured.
    if (indices || drawArguments) buffer->viewFormat = gpu::Format::R32_UINT;
    buffer->init(desc, false);
    return buffer;
}

ResourceBinding bindingOf(Resource* input) {
    const bool isTexture = dynamic_cast<TextureRuntime*>(input) != nullptr;
    return {isTexture ? ResourceTexture : ResourceBuffer, input};
}

} // namespace

BufferDataRuntime* EffectPassTest::intBuffer(const std::vector<int32_t>& elements) {
    return registered(dataBuffer(ElementInt32, elements.data(), elements.size()));
}

BufferDataRuntime* EffectPassTest::floatBuffer(const std::vector<float>& elements) {
    return registered(dataBuffer(ElementFloat32, elements.data(), elements.size()));
}

BufferRuntime* EffectPassTest::float4Buffer(uint32_t count, const std::vector<Float4>* initial) {
    BufferRuntime* buffer =
        registered(structuredBuffer(sizeof(Float4), count, initial ? initial->data() : nullptr));
    EXPECT_TRUE(buffer->getSRV(false)) << device->GetLastError();
    return buffer;
}

BufferRuntime* EffectPassTest::recordBuffer(uint32_t stride, uint32_t count) {
    BufferRuntime* buffer = registered(structuredBuffer(stride, count, nullptr));
    EXPECT_TRUE(buffer->getSRV(false)) << device->GetLastError();
    return buffer;
}

BufferRuntime* EffectPassTest::uintBuffer(const std::vector<uint32_t>& elements, bool indices,
                                          bool drawArguments) {
    BufferRuntime* buffer =
        registered(structuredBuffer(4, uint32_t(elements.size()), elements.data(), indices, drawArguments));
    EXPECT_TRUE(buffer->getSRV(false)) << device->GetLastError();
    return buffer;
}

GraphicsPass* EffectPassTest::graphicsPass(std::string_view vertexProgram, std::string_view pixelProgram,
                                           TextureRuntime* target, std::initializer_list<Resource*> inputs,
                                           const PassSettings& settings) {
    GraphicsPassDesc desc;
    useGraphicsPrograms(desc, vertexProgram, pixelProgram);
    EXPECT_TRUE(desc.vertexBytecode && desc.pixelBytecode) << vertexProgram << ", " << pixelProgram;
    std::memcpy(desc.clearColor, &settings.clearColour, sizeof(desc.clearColor));
    desc.vertexCount = settings.vertexCount;
    desc.instanceCount = settings.instanceCount;
    desc.blendEnabled = settings.blend;
    desc.blendMode = 2;
    desc.depthEnabled = settings.depth != nullptr;
    desc.depth.resource = settings.depth;
    desc.indexBuffer = settings.indexBuffer;
    desc.drawArguments = settings.drawArguments;
    desc.targets.append({target, true});
    for (Resource* input : inputs) desc.inputs.append(bindingOf(input));
    auto* pass = new GraphicsPass;
    setupGraphicsPass(*pass, desc);
    scene->graphicsPasses.findOrInsert(scene->passes.count) = pass;
    scene->passes.append(PassListEntry::of(pass));
    return pass;
}

ComputePass* EffectPassTest::computePass(std::string_view program, BufferRuntime* output, uint32_t threadsX,
                                         uint32_t threadsY, std::initializer_list<Resource*> inputs) {
    return computePass(program, {output}, threadsX, threadsY, inputs);
}

ComputePass* EffectPassTest::computePass(std::string_view program,
                                         std::initializer_list<BufferRuntime*> outputs, uint32_t threadsX,
                                         uint32_t threadsY, std::initializer_list<Resource*> inputs) {
    ComputePassDesc desc;
    useComputeProgram(desc, program);
    EXPECT_TRUE(desc.computeBytecode) << program;
    desc.threadsX = threadsX;
    desc.threadsY = threadsY;
    desc.threadsZ = 1;
    for (Resource* input : inputs) desc.inputs.append(bindingOf(input));
    for (BufferRuntime* output : outputs) desc.outputs.append({ResourceBuffer, output});
    auto* pass = new ComputePass;
    setupComputePass(*pass, desc);
    scene->computePasses.findOrInsert(scene->passes.count) = pass;
    scene->passes.append(PassListEntry::of(pass));
    return pass;
}

void EffectPassTest::setTrack(std::string_view name, float value) {
    std::memcpy(scene->variables[uint32_t(trackIndex(name))].value, &value, sizeof(value));
}

void EffectPassTest::setTracks(std::initializer_list<std::pair<std::string_view, float>> tracks) {
    for (const auto& [name, value] : tracks) setTrack(name, value);
}

void EffectPassTest::renderFrame(float time, Float2 resolution, uint32_t frame) {
    FrameContext local = {};
    local.header.time = time;
    local.header.frame = frame;
    local.header.resolution = resolution;
    local.header.viewMatrix = view;
    local.header.projectionMatrix = projection;
    local.publish();
    scene->renderFrame();
}

std::vector<Float4> EffectPassTest::read(TextureRuntime* target) {
    return readFloat4(target->getResource(false), size_t(target->desc.width) * target->desc.height);
}

std::vector<Float4> EffectPassTest::read(BufferRuntime* buffer) {
    return readFloat4(buffer->getResource(false), bufferByteWidth(buffer->desc) / sizeof(Float4));
}

void EffectPassTest::writePng(const std::string& name, const std::vector<Float4>& pixels, uint32_t width,
                              uint32_t height) {
    std::vector<uint8_t> bytes;
    for (const Float4& p : pixels)
        for (float channel : {p.x, p.y, p.z, 1.0f})
            bytes.push_back(uint8_t(std::clamp(channel, 0.0f, 1.0f) * 255.0f + 0.5f));
    const std::string path = std::string(MIRELANDT_EFFECT_PNG_DIR) + "/" + name;
    EXPECT_TRUE(stbi_write_png(path.c_str(), int(width), int(height), 4, bytes.data(), int(width) * 4))
        << path;
}

Float2 pixelUv(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    return {(float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height)};
}

Matrix4 identityMatrix() {
    return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}
