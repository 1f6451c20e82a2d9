// The show's scene as the builder leaves it on the recording device: the resource registry, the passes
// and their descriptors, the order of creation seen as device calls, and one frame's bindings and draws.
#include "content/assets.h"
#include "content/build_scene.h"
#include "content/pass_list.h"
#include "content/track_table.h"
#include "gfx/buffer_data_runtime.h"
#include "gfx/scene.h"
#include "show/show_frame.h"
#include "tests/gfx/recording_fixture.h"

#include "shaders/shader_program.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Orvo::Gfx;
using namespace base;
using namespace shaders;
using namespace show;
using namespace sync_tracks;

using namespace Orvo::Gfx;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr uint32_t kScreenWidth = 320, kScreenHeight = 180;

// The resource ids of the show, as the passes and the output refer to them.
enum : uint32_t {
    sphereImage = 0,
    sphereBuffer = 1,
    cylinderDepth = 2,
    cylinderFont = 3,
    cylinderPalette = 4,
    cylinderCells = 5,
    cylinderImage = 6,
    blurAImage = 7,
    compositeImage = 8,
    textImage = 9,
    c64fontBuffer = 10,
    colorpalette = 11,
    textBuffer1 = 12,
    textBuffer2 = 13,
    textBuffer3 = 14,
    textBuffer4 = 15,
    fontBuffer3 = 16,
    textBuffer5 = 17,
    blurBImage = 18,
    textBuffer6 = 19,
    lamerImage = 20,
    sceneOutput = 21,
    mirrorBImage = 22,
    cylinderCharacters = 23,
    cylinderQuadIndices = 24,
    cylinderCellMasks = 25,
    cylinderCellCounts = 26,
    cylinderCellOffsets = 27,
    cylinderDrawArguments = 28,
    cylinderKeptQuads = 29,
};
constexpr uint32_t kResourceCount = 30;

const std::set<uint32_t> kTextureIds = {sphereImage,    cylinderDepth, cylinderImage, blurAImage,
                                        compositeImage, textImage,     blurBImage,    lamerImage,
                                        sceneOutput,    mirrorBImage};

struct DataBufferRow {
    uint32_t id;
    const assets::IntTable* ints;
    const assets::FloatTable* floats;
    uint32_t elements;
};

const DataBufferRow kDataBuffers[] = {
    {cylinderFont, &assets::cylinderFont, nullptr, 32768},
    {cylinderPalette, nullptr, &assets::cylinderPalette, 768},
    {cylinderCells, &assets::cylinderCells, nullptr, 50880},
    {c64fontBuffer, &assets::c64fontBuffer, nullptr, 32768},
    {colorpalette, nullptr, &assets::colorpalette, 48},
    {textBuffer1, &assets::textBuffer1, nullptr, 354960},
    {textBuffer2, &assets::textBuffer2, nullptr, 51120},
    {textBuffer3, &assets::textBuffer3, nullptr, 342720},
    {textBuffer4, &assets::textBuffer4, nullptr, 354960},
    {fontBuffer3, &assets::fontBuffer3, nullptr, 32768},
    {textBuffer5, &assets::textBuffer5, nullptr, 354960},
    {textBuffer6, &assets::textBuffer6, nullptr, 96000},
};

// A graphics pass as the show sets it up: key, programs, target, inputs by slot (kind, resource id),
// depth target (or none), blending and its stored mode, and the draw, which the cylinder makes indexed with
// the counts the cull step wrote.
struct GraphicsPassRow {
    const char* name;
    uint32_t key;
    const char* vertexProgram;
    const char* pixelProgram;
    uint32_t target;
    std::vector<std::pair<int32_t, uint32_t>> inputs;
    bool depth;
    bool blend;
    int32_t blendMode;
    uint32_t vertices, instances;
    bool indirect = false;
};

// In the order the passes run, leaving out the compute passes.
const std::vector<GraphicsPassRow> kGraphicsPasses = {
    {"sphere",
     0,
     "fullscreen_vs",
     "glenz_spheres_ps",
     sphereImage,
     {{1, sphereBuffer}},
     false,
     false,
     1,
     3,
     1},
    {"cylinder",
     1,
     "char_cylinder_vs",
     "vertex_colour_ps",
     cylinderImage,
     {{1, cylinderFont},
      {1, cylinderCells},
      {1, cylinderCells},
      {1, cylinderPalette},
      {1, cylinderCharacters},
      {1, cylinderKeptQuads}},
     true,
     true,
     2,
     6,
     256 * 96 * 128,
     true},
    {"mirror B", 8, "fullscreen_vs", "mirror2_ps", mirrorBImage, {{0, cylinderImage}}, false, false, 0, 3, 1},
    {"text",
     4,
     "text_layers_vs",
     "text_layers_ps",
     textImage,
     {{1, c64fontBuffer},
      {1, textBuffer1},
      {1, textBuffer2},
      {1, textBuffer3},
      {1, textBuffer4},
      {1, textBuffer5},
      {1, textBuffer6},
      {1, textBuffer6},
      {1, textBuffer6},
      {1, textBuffer6},
      {1, colorpalette},
      {1, c64fontBuffer},
      {1, fontBuffer3}},
     false,
     true,
     2,
     6,
     10},
    {"blur B", 5, "fullscreen_vs", "dof_blur2_ps", blurBImage, {{0, mirrorBImage}}, false, false, 0, 3, 1},
    {"composite",
     3,
     "fullscreen_vs",
     "composite_ps",
     compositeImage,
     {{0, blurBImage}, {0, textImage}},
     false,
     false,
     0,
     3,
     1},
    {"lamer", 6, "fullscreen_vs", "lamer_ps", lamerImage, {{0, compositeImage}}, false, false, 0, 3, 1},
    {"blur A", 2, "fullscreen_vs", "dof_blur_ps", blurAImage, {{0, lamerImage}}, false, false, 0, 3, 1},
    {"mirror A", 7, "fullscreen_vs", "mirror_ps", sceneOutput, {{0, blurAImage}}, false, false, 0, 3, 1},
};

// A compute pass as the show sets it up: key, program, inputs by slot (kind, resource id), the buffers it
// writes (at the unordered-access registers after the inputs), threads and the dispatch.
struct ComputePassRow {
    const char* name;
    uint32_t key;
    const char* program;
    std::vector<std::pair<int32_t, uint32_t>> inputs;
    std::vector<uint32_t> outputs;
    uint32_t threads[3];
    const char* dispatch;
};

// The glenz simulation, the one compute pass of the ten the show is made of. The cylinder's own compute
// chain (the character choice and the cull step) is held by the invariants below instead of rows.
const std::vector<ComputePassRow> kComputePasses = {
    {"sphere update", 0, "sphere_sim_cs", {}, {sphereBuffer}, {256, 1, 1}, "Dispatch 32 1 1"},
};

// The ten passes in the order they run; the cylinder's compute chain runs among them.
const std::vector<std::string_view> kPassOrder = {"sphere update", "sphere",  "cylinder",  "mirror B",
                                                  "text",          "blur B",  "composite", "lamer",
                                                  "blur A",        "mirror A"};

const ComputePassRow* computeRow(std::string_view name) {
    for (const ComputePassRow& row : kComputePasses)
        if (name == row.name) return &row;
    return nullptr;
}

const GraphicsPassRow* graphicsRow(std::string_view name) {
    for (const GraphicsPassRow& row : kGraphicsPasses)
        if (name == row.name) return &row;
    return nullptr;
}

const ShaderProgram& program(const char* name) {
    const ShaderProgram* found = shaders::findShaderProgram(name);
    if (!found) throw std::runtime_error(std::string("no shader program ") + name);
    return *found;
}

template <class T> T* lookUp(const IdRegistry<T>& registry, uint32_t id) {
    T* found = nullptr;
    registry.forEach([&](uint32_t key, T* value) {
        if (key == id) found = value;
    });
    return found;
}

template <class T> std::vector<uint32_t> idsOf(const IdRegistry<T>& registry) {
    std::vector<uint32_t> ids;
    registry.forEach([&](uint32_t id, T*) { ids.push_back(id); });
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<uint32_t> range(uint32_t n) {
    std::vector<uint32_t> ids(n);
    for (uint32_t i = 0; i < n; ++i) ids[i] = i;
    return ids;
}

class BuildScene : public RecordingTest {
  protected:
    SceneState state;
    std::vector<std::string> buildLog;

    void SetUp() override {
        RecordingTest::SetUp();
        buildScene(&state, kScreenWidth, kScreenHeight);
        buildLog = takeLog();
    }
    void TearDown() override {
        delete state.scene;
        RecordingTest::TearDown();
    }

    Scene& scene() { return *state.scene; }
    Resource* resource(uint32_t id) { return lookUp(scene().resources, id); }
    TextureRuntime* texture(uint32_t id) { return dynamic_cast<TextureRuntime*>(resource(id)); }
    BufferDataRuntime* data(uint32_t id) { return dynamic_cast<BufferDataRuntime*>(resource(id)); }
    std::string srv(uint32_t id) { return recording::labelOf(resource(id)->getSRV(true)); }

    // A descriptor's inputs against (kind, resource id) pairs by slot.
    void expectInputs(const DynArray<ResourceBinding>& inputs,
                      const std::vector<std::pair<int32_t, uint32_t>>& expected) {
        ASSERT_EQ(inputs.count, expected.size());
        for (uint32_t slot = 0; slot < inputs.count; ++slot) {
            EXPECT_EQ(inputs[slot].kind, expected[slot].first) << "t" << slot;
            EXPECT_EQ(inputs[slot].resource, resource(expected[slot].second)) << "t" << slot;
        }
    }

    // One frame as the main loop renders it: frame context and track values at `time`, then the list.
    std::vector<std::string> frame(float time) {
        ShowState show;
        show.screen = makeShowScreen(kScreenWidth, kScreenHeight);
        show.tracks = &state.tracks;
        show.variables = scene().variables.items;
        show.variableCount = scene().variables.count;
        prepareShowFrame(show, time);
        takeLog();
        scene().renderFrame();
        return takeLog();
    }
};

TEST_F(BuildScene, RegistersTheThirtyResourcesByIdAndOutputsSceneOutput) {
    EXPECT_EQ(scene().resources.count, kResourceCount);
    EXPECT_THAT(idsOf(scene().resources), ElementsAreArray(range(kResourceCount)));
    std::set<Resource*> distinct;
    for (uint32_t id = 0; id < kResourceCount; ++id) {
        ASSERT_NE(resource(id), nullptr) << id;
        EXPECT_FALSE(resource(id)->doubleBuffered) << id;
        distinct.insert(resource(id));
    }
    EXPECT_EQ(distinct.size(), kResourceCount);
    EXPECT_EQ(scene().output, resource(sceneOutput));
    EXPECT_TRUE(scene().firstFrame);
}

TEST_F(BuildScene, ScreenTexturesAreScreenSizedHalfFloatWithOneDepthTarget) {
    for (uint32_t id : kTextureIds) {
        const TextureRuntime* t = texture(id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(t->desc.dimension, 1) << id;
        EXPECT_EQ(t->desc.width, kScreenWidth) << id;
        EXPECT_EQ(t->desc.height, kScreenHeight) << id;
        EXPECT_FALSE(t->desc.generateMips) << id;
        EXPECT_EQ(t->desc.format, id == cylinderDepth ? 6 : 3) << id;
        EXPECT_EQ(t->getDSV() != nullptr, id == cylinderDepth) << id;
        EXPECT_EQ(t->getRTV(false) != nullptr, id != cylinderDepth) << id;
    }
}

// The sphere buffer holds 768 float4 records that only the simulation writes: the 256 of the glenz
// stream, then each object as drawn. (The cylinder chain's buffers
// are held to their programs' bindings above.)
TEST_F(BuildScene, TheSphereBufferHoldsItsRecordsWithoutContents) {
    auto* buffer = dynamic_cast<BufferRuntime*>(resource(sphereBuffer));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(dynamic_cast<BufferDataRuntime*>(buffer), nullptr);
    EXPECT_FALSE(buffer->desc.constant);
    EXPECT_EQ(buffer->desc.stride, 16u);
    EXPECT_EQ(buffer->desc.countX * buffer->desc.countY * buffer->desc.countZ, 768u);
    EXPECT_EQ(buffer->desc.initialData, nullptr);
    ASSERT_TRUE(buffer->bufferA);
    EXPECT_EQ(buffer->bufferA->GetDesc().ByteWidth, 768u * 16);
    EXPECT_EQ(buffer->bufferA->GetDesc().StructureByteStride, 16u);
    EXPECT_NE(buffer->getUAV(false), nullptr);
    EXPECT_NE(buffer->getSRV(true), nullptr);
}

// The cylinder's quads are two triangles over four corners, and its draw reads its counts from a buffer
// that only the cull step writes.
TEST_F(BuildScene, TheCylinderDrawsIndexedQuadsWithCountsFromItsArgumentsBuffer) {
    auto* indices = dynamic_cast<BufferRuntime*>(resource(cylinderQuadIndices));
    auto* arguments = dynamic_cast<BufferRuntime*>(resource(cylinderDrawArguments));
    ASSERT_TRUE(indices && indices->bufferA && arguments && arguments->bufferA);
    EXPECT_TRUE(indices->bufferA->GetDesc().BindFlags & gpu::BIND_INDEX_BUFFER);
    const std::vector<uint8_t>& contents = recording::bufferContents(indices->bufferA.get());
    ASSERT_EQ(contents.size(), 32u);
    const uint32_t quad[6] = {0, 1, 2, 2, 1, 3};
    EXPECT_EQ(std::memcmp(contents.data(), quad, sizeof(quad)), 0);
    EXPECT_FALSE(arguments->bufferA->GetDesc().BindFlags & gpu::BIND_INDEX_BUFFER);
    EXPECT_TRUE(arguments->bufferA->GetDesc().MiscFlags & gpu::RESOURCE_MISC_DRAWINDIRECT_ARGS);
    EXPECT_GE(arguments->bufferA->GetDesc().ByteWidth, gpu::kDrawIndexedArgumentsSize);
    EXPECT_EQ(arguments->desc.initialData, nullptr);
    EXPECT_NE(arguments->getUAV(false), nullptr);
}

TEST_F(BuildScene, DataBuffersHoldTheBuiltInTablesAtTheirSizes) {
    for (const DataBufferRow& row : kDataBuffers) {
        SCOPED_TRACE(row.id);
        const BufferDataRuntime* buffer = data(row.id);
        ASSERT_NE(buffer, nullptr);
        const void* table = row.ints ? static_cast<const void*>(row.ints->elements) : row.floats->elements;
        EXPECT_EQ(buffer->source.elementType, row.ints ? ElementInt32 : ElementFloat32);
        EXPECT_EQ(buffer->source.elements, table);
        EXPECT_EQ(buffer->source.elementCount, row.elements);
        EXPECT_STREQ(buffer->source.path, "");
        ASSERT_TRUE(buffer->bufferA);
        const uint32_t bytes = buffer->bufferA->GetDesc().ByteWidth;
        EXPECT_EQ(bytes, (row.elements * 4 + 15) / 16 * 16);
        const std::vector<uint8_t>& contents = recording::bufferContents(buffer->bufferA.get());
        ASSERT_GE(contents.size(), row.elements * 4);
        EXPECT_EQ(std::memcmp(contents.data(), table, row.elements * 4), 0);
    }
    EXPECT_EQ(data(colorpalette)->bufferA->GetDesc().ByteWidth, 192u);
    for (uint32_t font : {cylinderFont, c64fontBuffer, fontBuffer3})
        EXPECT_EQ(data(font)->bufferA->GetDesc().ByteWidth, 131072u) << font;
}

TEST_F(BuildScene, TheThreeFontsAreSeparateBuffersWithTheSameGlyphs) {
    const BufferDataRuntime* fonts[] = {data(cylinderFont), data(c64fontBuffer), data(fontBuffer3)};
    for (const BufferDataRuntime* font : fonts) ASSERT_NE(font, nullptr);
    std::set<const void*> blocks, buffers;
    for (const BufferDataRuntime* font : fonts) {
        blocks.insert(font->source.elements);
        buffers.insert(font->bufferA.get());
        EXPECT_EQ(recording::bufferContents(font->bufferA.get()),
                  recording::bufferContents(fonts[0]->bufferA.get()));
    }
    EXPECT_EQ(blocks.size(), 3u);
    EXPECT_EQ(buffers.size(), 3u);
}

// The ten passes run in their order under their keys; every other entry of the list is a compute pass of
// the cylinder's chain, registered under the keys after the sphere update's.
TEST_F(BuildScene, ListsTheTenPassesInOrderUnderTheirKeysAndTheCylindersComputeChainAmongThem) {
    EXPECT_THAT(idsOf(scene().graphicsPasses), ElementsAreArray(range(9)));
    ASSERT_EQ(scene().passes.count, kPassListNames.size());
    EXPECT_THAT(idsOf(scene().computePasses), ElementsAreArray(range(scene().passes.count - 9)));
    uint32_t next = 0; // the next of the ten to meet
    for (uint32_t i = 0; i < scene().passes.count; ++i) {
        SCOPED_TRACE(kPassListNames[i]);
        const bool isTen = next < kPassOrder.size() && kPassListNames[i] == kPassOrder[next];
        if (const ComputePassRow* row = isTen ? computeRow(kPassOrder[next]) : nullptr) {
            EXPECT_EQ(scene().passes[i].kind, 0);
            EXPECT_EQ(scene().passes[i].compute, lookUp(scene().computePasses, row->key));
        } else if (isTen) {
            ASSERT_NE(graphicsRow(kPassOrder[next]), nullptr);
            EXPECT_EQ(scene().passes[i].kind, 1);
            EXPECT_EQ(scene().passes[i].graphics,
                      lookUp(scene().graphicsPasses, graphicsRow(kPassOrder[next])->key));
        } else {
            EXPECT_EQ(scene().passes[i].kind, 0);
        }
        next += isTen;
    }
    EXPECT_EQ(next, kPassOrder.size());
}

// What every pass of the list reads and writes, whichever pass it is: every input that a pass of the list
// writes is written by an earlier pass of the same frame (nothing is double-buffered), the cylinder's draw
// counts too; and every register a pass's programs declare is bound to a resource of the kind the program
// declares it as (a texture, a structured buffer, or a typed buffer of the program's element format).
TEST_F(BuildScene, EveryInputIsMadeBeforeItsPassAndEveryBindingMatchesItsProgram) {
    struct Pass {
        std::string name;
        std::vector<const ShaderProgram*> programs;
        const DynArray<ResourceBinding>* inputs;
        std::vector<Resource*> writes, reads;
        const DynArray<ResourceBinding>* outputs = nullptr;
    };
    const auto programOf = [](const void* bytecode) -> const ShaderProgram* {
        for (const ShaderProgram* p : shaders::allShaderPrograms())
            if (p->bytecode == bytecode) return p;
        return nullptr;
    };
    std::vector<Pass> passes;
    for (uint32_t i = 0; i < scene().passes.count; ++i) {
        const PassListEntry& entry = scene().passes[i];
        Pass pass{std::string(kPassListNames[i]), {}, nullptr, {}, {}};
        if (entry.kind == 0) {
            const ComputePassDesc& d = entry.compute->desc;
            pass.programs = {programOf(d.computeBytecode)};
            pass.inputs = &d.inputs;
            pass.outputs = &d.outputs;
            for (const ResourceBinding& output : d.outputs) pass.writes.push_back(output.resource);
        } else {
            const GraphicsPassDesc& d = entry.graphics->desc;
            pass.programs = {programOf(d.vertexBytecode), programOf(d.pixelBytecode)};
            pass.inputs = &d.inputs;
            for (const TargetBinding& target : d.targets) pass.writes.push_back(target.resource);
            if (d.depth.resource) pass.writes.push_back(d.depth.resource);
            if (d.drawArguments) pass.reads.push_back(d.drawArguments);
            if (d.indexBuffer) pass.reads.push_back(d.indexBuffer);
        }
        for (const ResourceBinding& input : *pass.inputs) pass.reads.push_back(input.resource);
        passes.push_back(pass);
    }

    std::set<Resource*> written;
    for (const Pass& pass : passes) written.insert(pass.writes.begin(), pass.writes.end());
    std::set<Resource*> madeSoFar;
    for (const Pass& pass : passes) {
        SCOPED_TRACE(pass.name);
        for (Resource* read : pass.reads)
            EXPECT_TRUE(!written.count(read) || madeSoFar.count(read))
                << "reads a resource written only later";
        madeSoFar.insert(pass.writes.begin(), pass.writes.end());
    }

    const auto expectMatches = [](const gpu::ShaderBinding& binding, Resource* resource, const char* where) {
        auto* buffer = dynamic_cast<BufferRuntime*>(resource);
        switch (binding.kind) {
        case gpu::ShaderBindingKind::SampledTexture:
        case gpu::ShaderBindingKind::StorageTexture:
            EXPECT_NE(dynamic_cast<TextureRuntime*>(resource), nullptr) << where << ": a texture";
            break;
        case gpu::ShaderBindingKind::StorageBuffer:
            ASSERT_NE(buffer, nullptr) << where << ": a structured buffer";
            EXPECT_EQ(buffer->viewFormat, gpu::Format::UNKNOWN) << where << ": a structured buffer";
            EXPECT_GT(buffer->desc.stride, 0u) << where;
            break;
        case gpu::ShaderBindingKind::TexelBuffer:
        case gpu::ShaderBindingKind::StorageTexelBuffer:
            ASSERT_NE(buffer, nullptr) << where << ": a typed buffer";
            EXPECT_EQ(buffer->viewFormat, binding.format)
                << where << ": a typed buffer of the program's format";
            break;
        default:
            break;
        }
    };
    uint32_t checked = 0;
    for (const Pass& pass : passes) {
        SCOPED_TRACE(pass.name);
        for (const ShaderProgram* program : pass.programs) {
            ASSERT_NE(program, nullptr) << "a program that is not one of the show's";
            for (uint32_t b = 0; b < program->bindingCount; ++b) {
                const gpu::ShaderBinding& binding = program->bindings[b];
                const std::string where =
                    std::string(program->name) + " binding " + std::to_string(binding.binding);
                if (binding.binding >= gpu::kUavBindingBase) {
                    // Compute outputs follow the inputs in the unordered-access registers.
                    ASSERT_NE(pass.outputs, nullptr) << where;
                    const uint32_t slot = binding.binding - gpu::kUavBindingBase;
                    ASSERT_GE(slot, pass.inputs->count) << where;
                    ASSERT_LT(slot - pass.inputs->count, pass.outputs->count) << where << ": unbound";
                    expectMatches(binding, (*pass.outputs)[slot - pass.inputs->count].resource,
                                  where.c_str());
                    ++checked;
                } else if (binding.binding >= gpu::kTextureBindingBase) {
                    const uint32_t slot = binding.binding - gpu::kTextureBindingBase;
                    ASSERT_LT(slot, pass.inputs->count) << where << ": unbound";
                    expectMatches(binding, (*pass.inputs)[slot].resource, where.c_str());
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 30u);
}

TEST_F(BuildScene, GraphicsPassesCarryTheirProgramsBindingsAndDraws) {
    for (const GraphicsPassRow& row : kGraphicsPasses) {
        SCOPED_TRACE(row.name);
        const GraphicsPass* pass = lookUp(scene().graphicsPasses, row.key);
        ASSERT_NE(pass, nullptr);
        const GraphicsPassDesc& d = pass->desc;
        EXPECT_EQ(d.vertexBytecode, program(row.vertexProgram).bytecode);
        EXPECT_EQ(d.vertexBytecodeSize, program(row.vertexProgram).size);
        EXPECT_EQ(d.pixelBytecode, program(row.pixelProgram).bytecode);
        EXPECT_EQ(d.pixelBytecodeSize, program(row.pixelProgram).size);
        EXPECT_EQ(d.computeBytecode, nullptr);
        EXPECT_TRUE(pass->pipeline.vertexShader);
        EXPECT_TRUE(pass->pipeline.pixelShader);
        EXPECT_STREQ(d.vertexEntry.c_str(), "vertex_main");
        EXPECT_STREQ(d.pixelEntry.c_str(), "pixel_main");

        ASSERT_EQ(d.targets.count, 1u);
        EXPECT_EQ(d.targets[0].resource, resource(row.target));
        EXPECT_TRUE(d.targets[0].flag);
        EXPECT_EQ(d.depthEnabled, row.depth);
        EXPECT_EQ(d.depth.resource, row.depth ? resource(cylinderDepth) : nullptr);
        EXPECT_TRUE(d.depth.flag);
        expectInputs(d.inputs, row.inputs);

        EXPECT_EQ(d.blendEnabled, row.blend);
        EXPECT_EQ(d.blendMode, row.blendMode);
        EXPECT_EQ(d.vertexCount, row.vertices);
        EXPECT_EQ(d.instanceCount, row.instances);
        EXPECT_EQ(d.indexBuffer, row.indirect ? resource(cylinderQuadIndices) : nullptr);
        EXPECT_EQ(d.drawArguments, row.indirect ? resource(cylinderDrawArguments) : nullptr);
        EXPECT_TRUE(d.clear);
        EXPECT_THAT(d.clearColor, ::testing::ElementsAre(0.0f, 0.0f, 0.0f, 1.0f));
        EXPECT_FALSE(d.cullBack);
        EXPECT_EQ(d.topology, 3);
        EXPECT_EQ(d.activation, 0);
        EXPECT_EQ(d.windowStart, 0.0f);
        EXPECT_EQ(d.windowEnd, 100000.0f);
    }
}

TEST_F(BuildScene, ComputePassesCarryTheirProgramsInputsOutputsAndThreads) {
    for (const ComputePassRow& row : kComputePasses) {
        SCOPED_TRACE(row.name);
        const ComputePass* pass = lookUp(scene().computePasses, row.key);
        ASSERT_NE(pass, nullptr);
        const ComputePassDesc& d = pass->desc;
        EXPECT_EQ(d.computeBytecode, program(row.program).bytecode);
        EXPECT_EQ(d.computeBytecodeSize, program(row.program).size);
        EXPECT_EQ(d.vertexBytecode, nullptr);
        EXPECT_EQ(d.pixelBytecode, nullptr);
        EXPECT_TRUE(pass->pipeline.computeShader);
        EXPECT_EQ(d.threadsX, row.threads[0]);
        EXPECT_EQ(d.threadsY, row.threads[1]);
        EXPECT_EQ(d.threadsZ, row.threads[2]);
        expectInputs(d.inputs, row.inputs);
        ASSERT_EQ(d.outputs.count, row.outputs.size());
        for (uint32_t i = 0; i < d.outputs.count; ++i) {
            EXPECT_EQ(d.outputs[i].kind, 1) << i;
            EXPECT_EQ(d.outputs[i].resource, resource(row.outputs[i])) << i;
        }
        EXPECT_EQ(d.activation, 0);
        EXPECT_EQ(d.windowStart, 0.0f);
        EXPECT_EQ(d.windowEnd, 100000.0f);
    }
}

TEST_F(BuildScene, TracksAndVariablesAreInPlaceAndPackedOnce) {
    EXPECT_EQ(state.tracks.beatsPerMinute, 173.0f);
    EXPECT_EQ(state.tracks.rowsPerBeat, 8u);
    ASSERT_EQ(state.tracks.tracks.count, 104u);
    uint32_t keys = 0;
    for (const SyncTrack& track : state.tracks.tracks) keys += track.keys.count;
    EXPECT_EQ(keys, 1129u);
    ASSERT_EQ(scene().variables.count, 104u);
    for (uint32_t i = 0; i < 104; ++i) EXPECT_STREQ(scene().variables[i].name, kTrackNames[i]) << i;
    EXPECT_EQ(scene().packer.variables.count, 104u);
    EXPECT_EQ(scene().packer.packedLength, 416u);
}

// The device sees the 23 resources of the show in id order, then the cylinder chain's own buffers, then the
// programs of the ten passes in the order the passes are created (sphere, update, cylinder, blur A,
// composite, text, blur B, lamer, mirror A, mirror B), the chain's compute programs among them.
TEST_F(BuildScene, CreatesResourcesInIdOrderThenThePassesShaders) {
    constexpr uint32_t kShowResources = 23;
    const unsigned colour = unsigned(gpu::Format::R16G16B16A16_FLOAT),
                   depth = unsigned(gpu::Format::D32_FLOAT);
    const std::string size = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight);
    std::map<uint32_t, uint32_t> dataBytes;
    for (const DataBufferRow& row : kDataBuffers) dataBytes[row.id] = row.elements * 4;
    dataBytes[sphereBuffer] = 768 * 16;
    std::vector<std::string> resources, shaders;
    for (uint32_t id = 0; id < kShowResources; ++id) {
        if (kTextureIds.count(id))
            resources.push_back("CreateTexture2D " + size +
                                " format=" + std::to_string(id == cylinderDepth ? depth : colour));
        else
            resources.push_back("CreateBuffer bytes=" + std::to_string((dataBytes[id] + 15) / 16 * 16));
    }
    auto shader = [](const char* call, const char* name) {
        return std::string(call) + " " + std::to_string(program(name).size) + " bytes";
    };
    const std::pair<const char*, const char*> graphicsPrograms[] = {
        {"fullscreen_vs", "glenz_spheres_ps"}, {"char_cylinder_vs", "vertex_colour_ps"},
        {"fullscreen_vs", "dof_blur_ps"},      {"fullscreen_vs", "composite_ps"},
        {"text_layers_vs", "text_layers_ps"},  {"fullscreen_vs", "dof_blur2_ps"},
        {"fullscreen_vs", "lamer_ps"},         {"fullscreen_vs", "mirror_ps"},
        {"fullscreen_vs", "mirror2_ps"}};
    for (const auto& [vertex, pixel] : graphicsPrograms) {
        shaders.push_back(shader("CreateVertexShader", vertex));
        shaders.push_back(shader("CreatePixelShader", pixel));
        if (std::strcmp(pixel, "glenz_spheres_ps") == 0)
            shaders.push_back(shader("CreateComputeShader", "sphere_sim_cs"));
    }

    // Each creation call, cut down to what the expectation names: the resources first, then the programs.
    std::vector<std::string> createdResources, createdShaders, otherComputeShaders;
    for (const std::string& line : buildLog) {
        if (line.rfind("CreateTexture2D", 0) == 0) {
            const size_t format = line.find("format=");
            createdResources.push_back(line.substr(0, line.find(" mips=")) + " " +
                                       line.substr(format, line.find(' ', format) - format));
        } else if (line.rfind("CreateBuffer", 0) == 0) {
            EXPECT_TRUE(createdShaders.empty()) << "a buffer made after the programs";
            createdResources.push_back(line.substr(0, line.find(" bind=")));
        } else if (line.rfind("Create", 0) == 0 && line.find("Shader ") != std::string::npos) {
            createdShaders.push_back(line.substr(0, line.find(" ->")));
        }
    }
    ASSERT_EQ(createdResources.size(), kResourceCount);
    EXPECT_THAT(std::vector<std::string>(createdResources.begin(), createdResources.begin() + kShowResources),
                ElementsAreArray(resources));
    // The ten passes' programs in their order; the chain's own are compute programs between them.
    std::vector<std::string> tenPasses;
    for (const std::string& created : createdShaders) {
        const bool next = tenPasses.size() < shaders.size() && created == shaders[tenPasses.size()];
        if (next)
            tenPasses.push_back(created);
        else
            EXPECT_EQ(created.rfind("CreateComputeShader", 0), 0u) << created;
    }
    EXPECT_THAT(tenPasses, ElementsAreArray(shaders));
}

// One frame on the recording device, cut at each draw and dispatch: what every pass bound and drew. At
// 30 s the composite takes both the cylinder chain and the text layers, so every pass runs.
TEST_F(BuildScene, AFrameRunsThePassesInOrderWithTheirTargetsInputsAndDraws) {
    struct Run {
        std::string targets, depthClear, blend, indices, draw;
        std::vector<std::string> uavs;
        std::map<uint32_t, std::string> inputs; // pixel-stage slot -> view
    };
    // The passes make their blend states when they are built; the frame binds them by label.
    std::map<std::string, std::string> blendOf;
    for (const std::string& line : buildLog)
        if (line.rfind("CreateBlendState", 0) == 0)
            blendOf[line.substr(line.rfind(' ') + 1)] = line.substr(line.find("enable="), 8);
    std::vector<Run> runs(1);
    for (const std::string& line : frame(30.0f)) {
        Run& run = runs.back();
        const bool bindsOneView =
            line.find(",") == std::string::npos && line.find("[null]") == std::string::npos;
        if (line.rfind("OMSetRenderTargets", 0) == 0 && line.find("[null") == std::string::npos)
            run.targets = line;
        if (line.rfind("ClearDepthStencilView", 0) == 0) run.depthClear = line;
        if (line.rfind("OMSetBlendState", 0) == 0)
            run.blend = blendOf[line.substr(16, line.find(' ', 16) - 16)];
        if (line.rfind("CSSetUnorderedAccessViews", 0) == 0 && bindsOneView) run.uavs.push_back(line);
        if (line.rfind("IASetIndexBuffer", 0) == 0 && line.find("null") == std::string::npos)
            run.indices = line;
        if ((line.rfind("PSSetShaderResources", 0) == 0 || line.rfind("CSSetShaderResources", 0) == 0) &&
            bindsOneView) {
            const size_t open = line.find('[');
            run.inputs[std::stoul(line.substr(21))] = line.substr(open + 1, line.size() - open - 2);
        }
        if (line.rfind("DrawInstanced", 0) == 0 || line.rfind("DrawIndexedInstanced", 0) == 0 ||
            line.rfind("Dispatch", 0) == 0) {
            run.draw = line;
            runs.emplace_back();
        }
    }
    runs.pop_back();
    ASSERT_EQ(runs.size(), scene().passes.count);

    for (uint32_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        SCOPED_TRACE(kPassListNames[i]);
        if (scene().passes[i].kind == 0) {
            // A compute pass binds its descriptor's inputs, then its outputs after them.
            const ComputePassDesc& d = scene().passes[i].compute->desc;
            if (const ComputePassRow* compute = computeRow(kPassListNames[i]))
                EXPECT_EQ(run.draw, compute->dispatch);
            else
                EXPECT_EQ(run.draw.rfind("Dispatch ", 0), 0u) << run.draw;
            std::vector<std::string> uavs;
            for (uint32_t k = 0; k < d.outputs.count; ++k)
                uavs.push_back("CSSetUnorderedAccessViews " + std::to_string(d.inputs.count + k) + " [" +
                               recording::labelOf(d.outputs[k].resource->getUAV(false)) + "] counts=null");
            EXPECT_EQ(run.uavs, uavs);
            std::map<uint32_t, std::string> inputs;
            for (uint32_t slot = 0; slot < d.inputs.count; ++slot)
                inputs[slot] = recording::labelOf(d.inputs[slot].resource->getSRV(true));
            EXPECT_EQ(run.inputs, inputs);
            continue;
        }
        ASSERT_NE(graphicsRow(kPassListNames[i]), nullptr);
        const GraphicsPassRow& row = *graphicsRow(kPassListNames[i]);
        const std::string depthView = recording::labelOf(resource(cylinderDepth)->getDSV());
        EXPECT_EQ(run.targets, "OMSetRenderTargets [" +
                                   recording::labelOf(texture(row.target)->getRTV(false)) +
                                   "] depth=" + (row.depth ? depthView : "null"));
        EXPECT_EQ(run.depthClear,
                  row.depth ? "ClearDepthStencilView " + depthView + " flags=1 depth=1 stencil=0" : "");
        EXPECT_EQ(run.blend, row.blend ? "enable=1" : "enable=0");
        std::map<uint32_t, std::string> inputs;
        for (uint32_t slot = 0; slot < row.inputs.size(); ++slot) inputs[slot] = srv(row.inputs[slot].second);
        EXPECT_EQ(run.inputs, inputs);
        if (row.indirect) {
            const std::string r32Uint = std::to_string(unsigned(gpu::Format::R32_UINT));
            EXPECT_EQ(run.indices, "IASetIndexBuffer " +
                                       recording::labelOf(resource(cylinderQuadIndices)->getResource(false)) +
                                       " " + r32Uint + " 0");
            EXPECT_EQ(run.draw, "DrawIndexedInstancedIndirect " +
                                    recording::labelOf(resource(cylinderDrawArguments)->getResource(false)) +
                                    " 0");
        } else {
            EXPECT_EQ(run.indices, "");
            EXPECT_EQ(run.draw, "DrawInstanced " + std::to_string(row.vertices) + " " +
                                    std::to_string(row.instances) + " 0 0");
        }
    }
}

// While SCENE_ONE is off (from row 5 to row 476) the composite takes nothing from the cylinder chain, and
// the frame leaves out its nine passes: the text layers and the four passes from the composite on remain.
TEST_F(BuildScene, WithoutSceneOneTheFrameLeavesTheCylinderChainOut) {
    const auto passesRun = [&](float time) {
        std::vector<std::string> ran;
        for (const std::string& line : frame(time))
            if (line.rfind("DrawInstanced", 0) == 0 || line.rfind("DrawIndexedInstanced", 0) == 0 ||
                line.rfind("Dispatch", 0) == 0)
                ran.push_back(line);
        return ran;
    };
    const std::string fullScreen = "DrawInstanced 3 1 0 0";
    EXPECT_THAT(passesRun(5.0f),
                ElementsAre("DrawInstanced 6 10 0 0", fullScreen, fullScreen, fullScreen, fullScreen));
    EXPECT_EQ(passesRun(30.0f).size(), scene().passes.count);
}

// textBuffer6 is one buffer: the text pass hands the very same view to t6, t7, t8 and t9, so new contents
// show in all four; the cylinder reads its own font, not the text pass's.
TEST_F(BuildScene, TextBuffer6ServesFourSlotsAndTheCylinderReadsItsOwnFont) {
    const std::vector<std::string> log = frame(30.0f);
    const std::string six = srv(textBuffer6);
    for (uint32_t slot = 6; slot <= 9; ++slot)
        EXPECT_EQ(countCalls(log, "PSSetShaderResources " + std::to_string(slot) + " [" + six + "]"), 1u)
            << slot;
    EXPECT_EQ(countCalls(log, "PSSetShaderResources 0 [" + srv(cylinderFont) + "]"), 1u);
    EXPECT_EQ(countCalls(log, "PSSetShaderResources 0 [" + srv(c64fontBuffer) + "]"), 1u);
    EXPECT_EQ(countCalls(log, "PSSetShaderResources 11 [" + srv(c64fontBuffer) + "]"), 1u);
    EXPECT_EQ(countCalls(log, "PSSetShaderResources 12 [" + srv(fontBuffer3) + "]"), 1u);
    EXPECT_NE(srv(cylinderFont), srv(c64fontBuffer));
}

} // namespace
