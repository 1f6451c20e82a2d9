// CPU cost of the GPU layer per draw and per dispatch: recording plus submission, with trivial
// programs so that the driver's shading time stays out of the figure. Submits every 64 calls,
// as a frame of the show does a handful of times; the queue is drained outside the timing.
#include "platform/gpu.h"
#include "shaders/shader_program.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

using namespace shaders;

namespace test_shaders {
const ShaderProgram* findShaderProgram(std::string_view name);
} // namespace test_shaders

namespace {

constexpr int kCallsPerSubmit = 64;

struct Setup {
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    gpu::Ref<gpu::Texture2D> target;
    gpu::Ref<gpu::RenderTargetView> targetView;
    gpu::Ref<gpu::ShaderResourceView> source;
    gpu::Ref<gpu::SamplerState> sampler;
    gpu::Ref<gpu::Buffer> constants;
    gpu::Ref<gpu::VertexShader> vs;
    gpu::Ref<gpu::PixelShader> ps;
    gpu::Ref<gpu::Buffer> output;
    gpu::Ref<gpu::UnorderedAccessView> outputView;
    gpu::Ref<gpu::ComputeShader> cs;

    Setup() {
        std::string error;
        if (!gpu::CreateDevice({}, &device, &context, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        gpu::Texture2DDesc desc;
        desc.Width = desc.Height = 4;
        desc.Format = gpu::Format::R8G8B8A8_UNORM;
        desc.BindFlags = gpu::BIND_RENDER_TARGET | gpu::BIND_SHADER_RESOURCE;
        target = device->CreateTexture2D(desc, nullptr);
        targetView = device->CreateRenderTargetView(target.get(), nullptr);
        auto texture = device->CreateTexture2D(desc, nullptr);
        source = device->CreateShaderResourceView(texture.get(), nullptr);
        sampler = device->CreateSamplerState({});
        gpu::BufferDesc block;
        block.ByteWidth = 1024;
        block.BindFlags = gpu::BIND_CONSTANT_BUFFER;
        constants = device->CreateBuffer(block, nullptr);
        const ShaderProgram* v = shaders::findShaderProgram("output_vs");
        const ShaderProgram* p = shaders::findShaderProgram("output_ps");
        vs = device->CreateVertexShader(v->bytecode, v->size);
        ps = device->CreatePixelShader(p->bytecode, p->size);
        gpu::BufferDesc structured;
        structured.ByteWidth = 16 * 8;
        structured.BindFlags = gpu::BIND_UNORDERED_ACCESS | gpu::BIND_SHADER_RESOURCE;
        structured.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
        structured.StructureByteStride = 16;
        output = device->CreateBuffer(structured, nullptr);
        outputView = device->CreateUnorderedAccessView(output.get(), nullptr);
        const ShaderProgram* c = test_shaders::findShaderProgram("structured_write_cs");
        cs = device->CreateComputeShader(c->bytecode, c->size);
    }

    // One full-screen draw with the binding a pass makes: target, viewport, programs, input.
    void drawWithPassBinding() {
        const gpu::Viewport viewport{0, 0, 4, 4, 0, 1};
        gpu::RenderTargetView* targets[] = {targetView.get()};
        gpu::ShaderResourceView* inputs[] = {source.get()};
        context->OMSetRenderTargets(1, targets, nullptr);
        context->RSSetViewports(1, &viewport);
        context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
        context->VSSetShader(vs.get());
        context->PSSetShader(ps.get());
        context->PSSetShaderResources(0, 1, inputs);
        context->DrawInstanced(3, 1, 0, 0);
    }

    void drain() {
        uint32_t pixel[16];
        context->ReadBack(target.get(), 0, pixel, sizeof(pixel), 0);
    }
};

Setup& setup() {
    static Setup instance;
    return instance;
}

// One pass-shaped draw per iteration.
void BM_Draw(benchmark::State& state) {
    Setup& s = setup();
    gpu::DeviceContext& c = *s.context;
    gpu::SamplerState* samplers[] = {s.sampler.get()};
    c.PSSetSamplers(3, 1, samplers);
    int calls = 0;
    for (auto _ : state) {
        s.drawWithPassBinding();
        if (++calls % kCallsPerSubmit == 0) c.Flush();
    }
    s.drain(); // after the timed loop
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Draw);

// A draw as the frame loop issues it: the 1024-byte context block uploaded first.
void BM_DrawWithContextUpload(benchmark::State& state) {
    Setup& s = setup();
    gpu::DeviceContext& c = *s.context;
    gpu::Buffer* constants[] = {s.constants.get()};
    float block[256] = {};
    int calls = 0;
    for (auto _ : state) {
        block[0] += 1.0f;
        c.UpdateSubresource(s.constants.get(), 0, nullptr, block, 0, 0);
        c.VSSetConstantBuffers(8, 1, constants);
        c.PSSetConstantBuffers(8, 1, constants);
        s.drawWithPassBinding();
        if (++calls % kCallsPerSubmit == 0) c.Flush();
    }
    s.drain(); // after the timed loop
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawWithContextUpload);

// One dispatch of one 8-thread group writing a structured buffer, as the sphere pass binds it.
void BM_Dispatch(benchmark::State& state) {
    Setup& s = setup();
    gpu::DeviceContext& c = *s.context;
    gpu::UnorderedAccessView* outputs[] = {s.outputView.get()};
    gpu::Buffer* constants[] = {s.constants.get()};
    int calls = 0;
    for (auto _ : state) {
        c.CSSetConstantBuffers(8, 1, constants);
        c.CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
        c.CSSetShader(s.cs.get());
        c.Dispatch(1, 1, 1);
        if (++calls % kCallsPerSubmit == 0) c.Flush();
    }
    s.drain(); // after the timed loop
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dispatch);

} // namespace

BENCHMARK_MAIN();
