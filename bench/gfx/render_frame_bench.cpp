// renderFrame of a scene shaped like the show's: the object simulation, nine graphics passes with the
// character choice (a second compute pass) between the first two, and the output pass, 104 float variables,
// screen-sized textures and data buffers. The device is the recording double with logging off, so the figure
// is the runtime's own CPU cost per frame: variable packing, block assembly, the constant-buffer upload and
// the binding calls. The counter allocations_per_frame is the heap allocations one frame makes, the double's
// objects included; with the state objects made at set-up and the block, the packed copy and the constant
// buffer kept from frame to frame, a steady frame makes none.
#include "gfx/buffer_data_runtime.h"
#include "gfx/install_frame_context.h"
#include "gfx/scene.h"
#include "tests/gfx/recording_device.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Orvo::Gfx;
using namespace sync_tracks;

#ifndef __GLIBC__
#error "the allocation count replaces the GNU C library's malloc"
#endif

using namespace Orvo::Gfx;

namespace {

// Heap allocations of the process so far: operator new, the double's objects and the runtime's arrays
// all end in malloc, calloc or realloc, which this executable replaces with counting versions of the C
// library's own.
std::atomic<uint64_t> allocationCount{0};

} // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);

void* malloc(size_t size) noexcept {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) noexcept {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}
}

namespace {

const std::vector<uint32_t> kVertexBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Vertex);
const std::vector<uint32_t> kPixelBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Pixel);
const std::vector<uint32_t> kComputeBlob = recording::fakeShaderBytecode(gpu::ShaderStage::Compute);

template <class R> R* registered(Scene& scene, uint32_t id, R* resource) {
    scene.resources.findOrInsert(id) = resource;
    return resource;
}

TextureRuntime* screenTexture(Scene& scene, uint32_t id, int32_t format) {
    TextureDesc desc;
    desc.width = 1920;
    desc.height = 1080;
    desc.format = format;
    auto* texture = new TextureRuntime;
    texture->init(desc, false);
    return registered(scene, id, texture);
}

void buildBenchScene(Scene& scene, const std::vector<int32_t>& table) {
    for (uint32_t i = 0; i < 104; ++i) {
        ContextVariable v = {};
        std::snprintf(v.name, sizeof(v.name), "TRACK_%u", i);
        v.type = VariableType::Float;
        scene.variables.append(v);
    }
    TextureRuntime* images[8];
    for (uint32_t i = 0; i < 8; ++i) images[i] = screenTexture(scene, i, FormatR16G16B16A16Float);
    TextureRuntime* depth = screenTexture(scene, 8, FormatD32Float);
    BufferDesc objectsDesc;
    objectsDesc.stride = 16;
    objectsDesc.countX = 256;
    auto* objects = registered(scene, 9, new BufferRuntime);
    objects->init(objectsDesc, false);
    Resource* data[12];
    for (uint32_t i = 0; i < 12; ++i) {
        DataSourceDesc source;
        source.elementType = ElementInt32;
        source.elements = table.data();
        source.elementCount = uint32_t(table.size());
        auto* buffer = registered(scene, 10 + i, new BufferDataRuntime);
        buffer->init(source, false);
        data[i] = buffer;
    }

    BufferDesc cellsDesc;
    cellsDesc.stride = 8;
    cellsDesc.countX = 256 * 96;
    auto* cells = registered(scene, 22, new BufferRuntime);
    cells->init(cellsDesc, false);

    auto addCompute = [&](uint32_t id, BufferRuntime* output, uint32_t threadsY, TextureRuntime* input) {
        ComputePassDesc desc;
        desc.computeBytecode = kComputeBlob.data();
        desc.computeBytecodeSize = uint32_t(kComputeBlob.size() * 4);
        desc.threadsX = 256;
        desc.threadsY = threadsY;
        desc.threadsZ = 1;
        desc.outputs.append({ResourceBuffer, output});
        if (input) desc.inputs.append({ResourceTexture, input});
        auto* pass = new ComputePass;
        setupComputePass(*pass, desc);
        scene.computePasses.findOrInsert(id) = pass;
        scene.passes.append(PassListEntry::of(pass));
    };
    addCompute(0, objects, 1, nullptr);

    for (uint32_t i = 0; i < 9; ++i) {
        GraphicsPassDesc desc;
        desc.vertexBytecode = kVertexBlob.data();
        desc.vertexBytecodeSize = uint32_t(kVertexBlob.size() * 4);
        desc.pixelBytecode = kPixelBlob.data();
        desc.pixelBytecodeSize = uint32_t(kPixelBlob.size() * 4);
        desc.targets.append({images[(i + 1) % 8], true});
        desc.inputs.append({ResourceTexture, images[i % 8]});
        if (i == 1) { // the cylinder pass, after the character choice: depth, blending, six inputs
            addCompute(1, cells, 96, images[0]);
            desc.inputs.append({ResourceBuffer, cells});
            desc.depthEnabled = true;
            desc.depth = {depth, true};
            desc.blendEnabled = true;
            desc.blendMode = 2;
            for (uint32_t k = 0; k < 4; ++k) desc.inputs.append({ResourceBuffer, data[k]});
        }
        if (i == 3) // the text pass: thirteen inputs
            for (uint32_t k = 0; k < 12; ++k) desc.inputs.append({ResourceBuffer, data[k]});
        auto* pass = new GraphicsPass;
        setupGraphicsPass(*pass, desc);
        scene.graphicsPasses.findOrInsert(i) = pass;
        scene.passes.append(PassListEntry::of(pass));
    }
    scene.output = images[1];
    scene.firstFrame = true;
}

void BM_RenderFrameTwelvePasses(benchmark::State& state) {
    auto device = gpu::Ref<recording::Device>::adopt(new recording::Device);
    FrameContext context = {};
    context.device = device.get();
    context.immediateContext = &device->context();
    installFrameContext(context);
    const std::vector<int32_t> table(4096, 1);
    {
        Scene scene;
        buildBenchScene(scene, table);
        scene.appendOutputPass(1920, 1080);
        device->recording = false;
        device->keepObjects = false;
        uint32_t frame = 0;
        uint64_t allocations = 0;
        for (auto _ : state) {
            // What the frame publication does: a new header, and the header size recorded in the
            // context-buffer descriptor.
            currentFrameContext.header.time = float(frame) / 60.0f;
            currentFrameContext.header.frame = frame++;
            contextBufferDesc.stride = sizeof(FrameContextHeader);
            const uint64_t before = allocationCount.load(std::memory_order_relaxed);
            benchmark::DoNotOptimize(scene.renderFrame());
            allocations += allocationCount.load(std::memory_order_relaxed) - before;
        }
        state.counters["allocations_per_frame"] =
            benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
    }
    releaseFrameContext();
}
BENCHMARK(BM_RenderFrameTwelvePasses);

} // namespace
