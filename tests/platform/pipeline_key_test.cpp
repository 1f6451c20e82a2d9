// The context looks its pipelines up again only after a change that can alter them. Every step below
// changes one thing, then draws and dispatches: a change must cost exactly one look-up and show in what
// was drawn or written, an unchanged state none. Each step reads back, which starts a new command buffer,
// so every step also shows that a cached pipeline is bound again there.
#include "tests/platform/gpu_fixture.h"

#include <algorithm>
#include <functional>

using PipelineKey = GpuTest;

namespace {

constexpr uint32_t kSize = 4;   // the targets are kSize x kSize
constexpr uint32_t kValues = 8; // float4s in the compute program's buffer, one thread group
constexpr float kBackground = 0.5f;
constexpr float kUntouched = -1.0f; // what the buffer holds before each dispatch

// The state bound at a step, from which the expected results follow.
struct Model {
    bool colourProgram = false; // vertex_colour_ps instead of uv_ps
    bool additive = false;      // ONE + ONE blending onto the background
    bool culled = false;        // the rasterizer culls the triangle's face
    bool lines = false;         // LINELIST: the three vertices make one line along the top edge
    bool bytes = false;         // an RGBA8 target instead of an RGBA32F one
    bool matrixKernel = false;  // matrix_cs instead of structured_write_cs
};

// The full-screen triangle's corners (0,0), (2,0), (0,2) in target units carry red, green and blue, so
// a pixel's colour follows from its coordinate (u, v).
Float4 expectedPixel(const Model& m, uint32_t x, uint32_t y) {
    const float u = (float(x) + 0.5f) / kSize, v = (float(y) + 0.5f) / kSize;
    const Float4 background{kBackground, kBackground, kBackground, kBackground};
    if (m.culled || m.lines) return background;
    Float4 c = m.colourProgram ? Float4{1.0f - u / 2 - v / 2, u / 2, v / 2, 0.5f} : Float4{u, v, 0.0f, 1.0f};
    if (m.additive) c = {c.x + kBackground, c.y + kBackground, c.z + kBackground, c.w + kBackground};
    if (m.bytes) c = {std::min(c.x, 1.0f), std::min(c.y, 1.0f), std::min(c.z, 1.0f), std::min(c.w, 1.0f)};
    return c;
}

// structured_write_cs writes (i, i*i, frame, CameraPosX) to every element; matrix_cs writes the context
// block's view matrix, zero here, to the first four.
Float4 expectedValue(const Model& m, uint32_t i) {
    if (!m.matrixKernel) return {float(i), float(i * i), 7.0f, 2.5f};
    if (i < 4) return {0.0f, 0.0f, 0.0f, 0.0f};
    return {kUntouched, kUntouched, kUntouched, kUntouched};
}

} // namespace

TEST_F(PipelineKey, EveryStateChangeLooksUpOnceAndShowsInTheResult) {
    if (device->GetRenderer() != gpu::Renderer::Vulkan)
        GTEST_SKIP() << "only Vulkan keeps a pipeline cache and counts its look-ups";
    Target floats = renderTarget(kSize, kSize);
    Target otherFloats = renderTarget(kSize, kSize);
    Target bytes = renderTarget(kSize, kSize, gpu::Format::R8G8B8A8_UNORM);
    auto vs = vertexShader("colour_corners_vs");
    auto uvProgram = pixelShader("uv_ps");
    auto colourProgram = pixelShader("vertex_colour_ps");
    gpu::BlendDesc add;
    add.RenderTarget[0] = {true,
                           gpu::Blend::ONE,
                           gpu::Blend::ONE,
                           gpu::BlendOp::ADD,
                           gpu::Blend::ONE,
                           gpu::Blend::ONE,
                           gpu::BlendOp::ADD,
                           gpu::COLOR_WRITE_ENABLE_ALL};
    auto additive = device->CreateBlendState(add);
    gpu::RasterizerDesc cullFront;
    cullFront.CullMode = gpu::CullMode::FRONT;
    auto culling = device->CreateRasterizerState(cullFront);
    ASSERT_TRUE(vs && uvProgram && colourProgram && additive && culling) << device->GetLastError();

    gpu::BufferDesc bufferDesc;
    bufferDesc.ByteWidth = kValues * sizeof(Float4);
    bufferDesc.BindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS;
    bufferDesc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    bufferDesc.StructureByteStride = sizeof(Float4);
    auto buffer = device->CreateBuffer(bufferDesc, nullptr);
    ASSERT_TRUE(buffer) << device->GetLastError();
    auto uav = device->CreateUnorderedAccessView(buffer.get(), nullptr);
    auto block = contextBlock({{"CameraPosX", 2.5f}}, 7);
    auto writeKernel = computeShader("structured_write_cs");
    auto matrixKernel = computeShader("matrix_cs");
    ASSERT_TRUE(uav && block && writeKernel && matrixKernel) << device->GetLastError();

    const gpu::Viewport viewport{0.0f, 0.0f, float(kSize), float(kSize), 0.0f, 1.0f};
    context->RSSetViewports(1, &viewport);
    context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
    context->VSSetShader(vs.get());
    context->PSSetShader(uvProgram.get());
    gpu::Buffer* constants[] = {block.get()};
    gpu::UnorderedAccessView* outputs[] = {uav.get()};
    context->CSSetConstantBuffers(8, 1, constants);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    context->CSSetShader(writeKernel.get());

    Model model;
    const Target* target = &floats;
    auto bindTarget = [&](const Target& t) {
        gpu::RenderTargetView* views[] = {t.view.get()};
        context->OMSetRenderTargets(1, views, nullptr);
        target = &t;
    };
    bindTarget(floats);
    struct Step {
        const char* change;
        std::function<void()> apply;
        uint64_t lookups; // graphics and compute together
    };
    const Step steps[] = {
        {"first draw and dispatch", [] {}, 2},
        {"nothing", [] {}, 0},
        {"blend state",
         [&] {
             context->OMSetBlendState(additive.get(), nullptr, 0xFFFFFFFFu);
             model.additive = true;
         },
         1},
        {"pixel program",
         [&] {
             context->PSSetShader(colourProgram.get());
             model.colourProgram = true;
         },
         1},
        {"rasterizer culling the triangle",
         [&] {
             context->RSSetState(culling.get());
             model.culled = true;
         },
         1},
        {"rasterizer back to the default",
         [&] {
             context->RSSetState(nullptr);
             model.culled = false;
         },
         1},
        {"topology",
         [&] {
             context->IASetPrimitiveTopology(gpu::PrimitiveTopology::LINELIST);
             model.lines = true;
         },
         1},
        {"topology back",
         [&] {
             context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
             model.lines = false;
         },
         1},
        {"another target of the same format", [&] { bindTarget(otherFloats); }, 0},
        {"target format",
         [&] {
             bindTarget(bytes);
             model.bytes = true;
         },
         1},
        {"compute program",
         [&] {
             context->CSSetShader(matrixKernel.get());
             model.matrixKernel = true;
         },
         1},
        {"compute program back",
         [&] {
             context->CSSetShader(writeKernel.get());
             model.matrixKernel = false;
         },
         1},
    };

    const std::vector<Float4> untouched(kValues, Float4{kUntouched, kUntouched, kUntouched, kUntouched});
    const float background[4] = {kBackground, kBackground, kBackground, kBackground};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        step.apply();
        context->ClearRenderTargetView(target->view.get(), background);
        context->UpdateSubresource(buffer.get(), 0, nullptr, untouched.data(), 0, 0);
        const uint64_t before = context->GetStatistics().pipelineLookups;
        context->DrawInstanced(3, 1, 0, 0);
        context->Dispatch(1, 1, 1);
        EXPECT_EQ(context->GetStatistics().pipelineLookups - before, step.lookups);

        std::vector<Float4> pixels(kSize * kSize);
        if (model.bytes) {
            std::vector<uint8_t> texels(pixels.size() * 4);
            ASSERT_TRUE(context->ReadBack(target->texture.get(), 0, texels.data(), texels.size(), 0));
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = {texels[4 * i] / 255.0f, texels[4 * i + 1] / 255.0f, texels[4 * i + 2] / 255.0f,
                             texels[4 * i + 3] / 255.0f};
        } else {
            pixels = readFloat4(target->texture.get(), pixels.size());
        }
        // A line along the top edge may or may not cover the top row; the other rows it leaves alone.
        for (uint32_t y = model.lines ? 1 : 0; y < kSize; ++y)
            for (uint32_t x = 0; x < kSize; ++x)
                EXPECT_TRUE(
                    near(pixels[y * kSize + x], expectedPixel(model, x, y), model.bytes ? 1.5f / 255 : 1e-5f))
                    << x << "," << y;
        const std::vector<Float4> values = readFloat4(buffer.get(), kValues);
        for (uint32_t i = 0; i < kValues; ++i)
            EXPECT_TRUE(near(values[i], expectedValue(model, i), 0.0f)) << i;
    }
}
