// Passes feeding each other within one submission, as a frame of the show does: what one pass
// writes, the next reads, with the barrier in between checked by synchronization validation.
#include "tests/platform/gpu_fixture.h"

using Chain = GpuTest;

TEST_F(Chain, ARenderedImageIsSampledByTheNextPass) {
    constexpr uint32_t kWidth = 8, kHeight = 4;
    Target first = renderTarget(kWidth, kHeight);
    Target second = renderTarget(kWidth, kHeight);
    auto vs = vertexShader("fullscreen_vs");
    drawFullscreen(first, vs.get(), pixelShader("uv_ps").get());

    auto input = device->CreateShaderResourceView(first.texture.get(), nullptr);
    gpu::SamplerDesc point;
    point.Filter = gpu::Filter::MIN_MAG_MIP_POINT;
    auto sampler = device->CreateSamplerState(point);
    gpu::SamplerState* samplers[] = {sampler.get()};
    gpu::ShaderResourceView* inputs[] = {input.get()};
    context->PSSetSamplers(0, 1, samplers);
    context->PSSetShaderResources(0, 1, inputs);
    auto block = contextBlock({{"mirrorX", 1.0f}});
    gpu::Buffer* constants[] = {block.get()};
    context->PSSetConstantBuffers(8, 1, constants);
    drawFullscreen(second, vs.get(), pixelShader("mirror_ps").get());

    const auto pixels = readFloat4(second.texture.get(), kWidth * kHeight);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t sx = x >= kWidth / 2 ? kWidth - 1 - x : x;
            EXPECT_TRUE(
                near(pixels[y * kWidth + x], {(sx + 0.5f) / kWidth, (y + 0.5f) / kHeight, 0.0f, 1.0f}, 1e-5f))
                << x << "," << y;
        }
}

TEST_F(Chain, ASimulationBufferIsReadByThePixelPassThatFollows) {
    gpu::BufferDesc desc;
    desc.ByteWidth = 16 * 8;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS;
    desc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    desc.StructureByteStride = 16;
    auto buffer = device->CreateBuffer(desc, nullptr);
    auto uav = device->CreateUnorderedAccessView(buffer.get(), nullptr);
    auto srv = device->CreateShaderResourceView(buffer.get(), nullptr);
    ASSERT_TRUE(uav && srv) << device->GetLastError();
    Target target = renderTarget(8, 2);
    for (uint32_t frame : {3u, 4u}) {
        auto block = contextBlock({{"CameraPosX", 0.5f}}, frame);
        gpu::Buffer* constants[] = {block.get()};
        gpu::UnorderedAccessView* outputs[] = {uav.get()};
        context->CSSetConstantBuffers(8, 1, constants);
        context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
        auto kernel = computeShader("structured_write_cs");
        context->CSSetShader(kernel.get());
        context->Dispatch(1, 1, 1);
        gpu::UnorderedAccessView* noOutputs[] = {nullptr};
        context->CSSetUnorderedAccessViews(0, 1, noOutputs, nullptr);

        gpu::ShaderResourceView* inputs[] = {srv.get()};
        context->PSSetShaderResources(0, 1, inputs);
        drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader("structured_read_ps").get());
        gpu::ShaderResourceView* noInputs[] = {nullptr};
        context->PSSetShaderResources(0, 1, noInputs);
        const auto pixels = readFloat4(target.texture.get(), 16);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 8; ++x)
                EXPECT_TRUE(near(pixels[y * 8 + x], {float(x), float(x * x), float(frame), 0.5f}, 0.0f))
                    << x << "," << y << " frame " << frame;
    }
}
