// Immediate-context work that is not a program's arithmetic: clears, depth, uploads, mips and the
// lifetime of objects released while the GPU still has work that uses them.
#include "platform/gpu_checks.h"
#include "tests/platform/gpu_fixture.h"

#include <cmath>
#include <cstring>
#include <memory>

using Context = GpuTest;

namespace {

float halfToFloat(uint16_t h) {
    const int exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
    const float sign = (h & 0x8000) ? -1.0f : 1.0f;
    if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
    if (exponent == 31) return mantissa ? NAN : sign * INFINITY;
    return sign * std::ldexp(float(mantissa | 0x400), exponent - 25);
}

gpu::Ref<gpu::DepthStencilView> depthTarget(gpu::Device& device, uint32_t size,
                                            gpu::Ref<gpu::Texture2D>* texture) {
    gpu::Texture2DDesc desc;
    desc.Width = desc.Height = size;
    desc.Format = gpu::Format::D32_FLOAT;
    desc.BindFlags = gpu::BIND_DEPTH_STENCIL;
    *texture = device.CreateTexture2D(desc, nullptr);
    EXPECT_TRUE(*texture) << device.GetLastError();
    return device.CreateDepthStencilView(texture->get(), nullptr);
}

} // namespace

TEST_F(Context, ClearsAHalfFloatTarget) {
    Target target = renderTarget(4, 4, gpu::Format::R16G16B16A16_FLOAT);
    const float colour[4] = {0.25f, -2.0f, 1000.0f, 1.0f};
    context->ClearRenderTargetView(target.view.get(), colour);
    std::vector<uint16_t> halves(4 * 16);
    ASSERT_TRUE(context->ReadBack(target.texture.get(), 0, halves.data(), halves.size() * 2, 0));
    for (size_t i = 0; i < halves.size(); ++i) EXPECT_EQ(halfToFloat(halves[i]), colour[i % 4]) << i;
}

TEST_F(Context, ClearsADepthTargetAndDrawsWithTheDefaultDepthTest) {
    gpu::Ref<gpu::Texture2D> depthTexture;
    auto depth = depthTarget(*device, 4, &depthTexture);
    ASSERT_TRUE(depth) << device->GetLastError();
    Target target = renderTarget(4, 4);
    const float background[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    auto vs = vertexShader("fullscreen_vs");
    auto ps = pixelShader("uv_ps");
    const gpu::Viewport viewport{0.0f, 0.0f, 4.0f, 4.0f, 0.0f, 1.0f};
    context->RSSetViewports(1, &viewport);
    context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
    context->VSSetShader(vs.get());
    context->PSSetShader(ps.get());
    gpu::RenderTargetView* views[] = {target.view.get()};

    context->ClearDepthStencilView(depth.get(), gpu::CLEAR_DEPTH, 0.75f, 0);
    std::vector<float> depths(16);
    ASSERT_TRUE(context->ReadBack(depthTexture.get(), 0, depths.data(), 64, 0));
    for (float d : depths) EXPECT_EQ(d, 0.75f);

    // The triangle lies at depth 0: it passes LESS against 0.75 and writes 0 ...
    context->ClearRenderTargetView(target.view.get(), background);
    context->OMSetRenderTargets(1, views, depth.get());
    context->DrawInstanced(3, 1, 0, 0);
    EXPECT_EQ(readFloat4(target.texture.get(), 16)[5].w, 1.0f);
    ASSERT_TRUE(context->ReadBack(depthTexture.get(), 0, depths.data(), 64, 0));
    for (float d : depths) EXPECT_EQ(d, 0.0f);

    // ... and fails against the 0 it wrote.
    context->ClearRenderTargetView(target.view.get(), background);
    context->DrawInstanced(3, 1, 0, 0);
    for (const Float4& pixel : readFloat4(target.texture.get(), 16)) EXPECT_EQ(pixel.w, -1.0f);
}

TEST_F(Context, IndexedDrawsTakeTheirTrianglesFromTheIndicesAndIndirectOnesTheCountsAKernelWrote) {
    // Instance i fills pixel column i only when its six indices are 0 1 2 2 1 3; index 0 is a decoy that
    // the draws skip by starting at index 1.
    const uint32_t indices[7] = {3, 0, 1, 2, 2, 1, 3};
    const gpu::SubresourceData indexData{indices};
    auto indexBuffer = device->CreateBuffer({sizeof(indices), gpu::BIND_INDEX_BUFFER, 0, 0}, &indexData);
    // The kernel rewrites the instance count 1 to the 3 of the context block's CameraPosX.
    const uint32_t initialArguments[5] = {6, 1, 1, 0, 0};
    const gpu::SubresourceData argumentData{initialArguments};
    auto arguments = device->CreateBuffer(
        {20, gpu::BIND_UNORDERED_ACCESS, gpu::RESOURCE_MISC_DRAWINDIRECT_ARGS, 0}, &argumentData);
    ASSERT_TRUE(indexBuffer && arguments) << device->GetLastError();
    gpu::UnorderedAccessViewDesc argumentViewDesc;
    argumentViewDesc.Format = gpu::Format::R32_UINT;
    argumentViewDesc.ViewDimension = gpu::ViewDimension::Buffer;
    argumentViewDesc.NumElements = 5;
    auto argumentView = device->CreateUnorderedAccessView(arguments.get(), &argumentViewDesc);
    auto block = contextBlock({{"CameraPosX", 3.0f}});
    Target target = renderTarget(4, 4);
    auto vs = vertexShader("instance_quads_vs");
    auto ps = pixelShader("vertex_colour_ps");
    const gpu::Viewport viewport{0.0f, 0.0f, 4.0f, 4.0f, 0.0f, 1.0f};
    const float background[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    gpu::RenderTargetView* views[] = {target.view.get()};
    context->RSSetViewports(1, &viewport);
    context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
    context->VSSetShader(vs.get());
    context->PSSetShader(ps.get());
    context->IASetIndexBuffer(indexBuffer.get(), gpu::Format::R32_UINT, 0);
    // Red in each column: instance + 1 where an instance drew, the background's -1 elsewhere.
    auto expectColumns = [&](const std::vector<float>& reds) {
        const std::vector<Float4> pixels = readFloat4(target.texture.get(), 16);
        for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(pixels[i].x, reds[i % 4]) << "pixel " << i;
    };

    context->ClearRenderTargetView(target.view.get(), background);
    context->OMSetRenderTargets(1, views, nullptr);
    context->DrawIndexedInstanced(6, 2, 1, 0, 0);
    expectColumns({1.0f, 2.0f, -1.0f, -1.0f});

    gpu::Buffer* constants[] = {block.get()};
    gpu::UnorderedAccessView* outputs[] = {argumentView.get()};
    auto kernel = computeShader("draw_arguments_cs");
    context->CSSetConstantBuffers(8, 1, constants);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    context->CSSetShader(kernel.get());
    context->Dispatch(1, 1, 1);
    context->ClearRenderTargetView(target.view.get(), background);
    context->OMSetRenderTargets(1, views, nullptr);
    context->DrawIndexedInstancedIndirect(arguments.get(), 0);
    expectColumns({1.0f, 2.0f, 3.0f, -1.0f});
    EXPECT_EQ(device->GetLastFailedCheck(), gpu::Check::Passed);
}

TEST_F(Context, UpdateSubresourceWritesOnlyTheBox) {
    Target target = renderTarget(4, 4);
    const float zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    context->ClearRenderTargetView(target.view.get(), zero);
    const Float4 patch[2 * 3] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3},
                                 {4, 4, 4, 4}, {5, 5, 5, 5}, {6, 6, 6, 6}};
    const gpu::Box box{1, 2, 0, 3, 4, 1}; // x 1..2, y 2..3
    context->UpdateSubresource(target.texture.get(), 0, &box, patch, 2 * sizeof(Float4), 0);
    const auto texels = readFloat4(target.texture.get(), 16);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x < 3 && y >= 2;
            const float expected = inside ? float((y - 2) * 2 + (x - 1) + 1) : 0.0f;
            EXPECT_EQ(texels[y * 4 + x].x, expected) << x << "," << y;
        }
}

TEST_F(Context, BufferDataShorterThanTheBufferIsNotReadPastItsEnd) {
    // Three bytes of data in a buffer of four 4-byte elements; only the three bytes given may be read.
    auto bytes = std::make_unique<uint8_t[]>(3);
    bytes[0] = 7, bytes[1] = 44, bytes[2] = 255;
    gpu::BufferDesc desc;
    desc.ByteWidth = 16;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE;
    desc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    desc.StructureByteStride = 4;
    const gpu::SubresourceData data{bytes.get(), 3, 0};
    auto buffer = device->CreateBuffer(desc, &data);
    ASSERT_TRUE(buffer) << device->GetLastError();
    uint8_t contents[16];
    ASSERT_TRUE(context->ReadBack(buffer.get(), 0, contents, sizeof(contents), 0));
    const uint8_t expected[16] = {7, 44, 255};
    EXPECT_EQ(std::memcmp(contents, expected, 16), 0);
}

TEST_F(Context, ReadsBackMoreThanOneStagingChunk) {
    // 960 x 540 float texels and a 5 MiB buffer are each larger than the 4 MiB staging chunks,
    // so both travel through staging memory of their own.
    Target target = renderTarget(960, 540);
    drawFullscreen(target, vertexShader("fullscreen_vs").get(), pixelShader("uv_ps").get());
    const auto texels = readFloat4(target.texture.get(), 960 * 540);
    size_t wrong = 0;
    for (uint32_t y = 0; y < 540; ++y)
        for (uint32_t x = 0; x < 960; ++x)
            wrong +=
                !near(texels[y * 960 + x], {(x + 0.5f) / 960.0f, (y + 0.5f) / 540.0f, 0.0f, 1.0f}, 1e-5f);
    EXPECT_EQ(wrong, 0u);

    std::vector<uint32_t> words(5 << 18);
    for (size_t i = 0; i < words.size(); ++i) words[i] = uint32_t(i * 2654435761u);
    gpu::BufferDesc desc;
    desc.ByteWidth = uint32_t(words.size() * 4);
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE;
    desc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    desc.StructureByteStride = 4;
    auto buffer = device->CreateBuffer(desc, nullptr);
    ASSERT_TRUE(buffer) << device->GetLastError();
    context->UpdateSubresource(buffer.get(), 0, nullptr, words.data(), 0, 0);
    // Read many times: a copy this small can finish before the reading thread comes back from the
    // submission, and the staging memory must still be there to copy out of.
    for (int round = 0; round < 40; ++round) {
        std::vector<uint32_t> contents(words.size());
        ASSERT_TRUE(context->ReadBack(buffer.get(), 0, contents.data(), contents.size() * 4, 0));
        ASSERT_TRUE(contents == words) << "round " << round;
    }
}

TEST_F(Context, GenerateMipsAveragesDownToOneTexel) {
    gpu::Texture2DDesc desc;
    desc.Width = desc.Height = 4;
    desc.MipLevels = 0;
    desc.Format = gpu::Format::R32G32B32A32_FLOAT;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_RENDER_TARGET;
    desc.MiscFlags = gpu::RESOURCE_MISC_GENERATE_MIPS;
    std::vector<Float4> texels(16);
    for (uint32_t i = 0; i < 16; ++i) texels[i] = {i % 4 < 2 ? 1.0f : 0.0f, float(i), 0.0f, 1.0f};
    const gpu::SubresourceData level0{texels.data(), 4 * sizeof(Float4), 0};
    const gpu::SubresourceData levels[3] = {level0, {}, {}};
    auto texture = device->CreateTexture2D(desc, levels);
    ASSERT_TRUE(texture) << device->GetLastError();
    EXPECT_EQ(texture->GetDesc().MipLevels, 3u);
    auto view = device->CreateShaderResourceView(texture.get(), nullptr);
    context->GenerateMips(view.get());
    Float4 top;
    ASSERT_TRUE(context->ReadBack(texture.get(), 2, &top, sizeof(top), 0));
    EXPECT_TRUE(near(top, {0.5f, 7.5f, 0.0f, 1.0f}, 1e-4f));
}

TEST_F(Context, ObjectsReleasedWhileTheirWorkIsInFlightStayUntilItCompletes) {
    Target target = renderTarget(4, 4);
    {
        std::vector<Float4> texels(16, Float4{0.5f, 0.25f, 0.125f, 1.0f});
        auto source = textureView(4, 4, texels);
        gpu::SamplerDesc point;
        point.Filter = gpu::Filter::MIN_MAG_MIP_POINT;
        auto sampler = device->CreateSamplerState(point);
        auto vs = vertexShader("output_vs");
        auto ps = pixelShader("output_ps");
        gpu::ShaderResourceView* inputs[] = {source.get()};
        gpu::SamplerState* samplers[] = {sampler.get()};
        context->PSSetShaderResources(0, 1, inputs);
        context->PSSetSamplers(3, 1, samplers);
        drawFullscreen(target, vs.get(), ps.get());
        // Unbind everything: the last references to the texture, its view, the sampler and the
        // programs go away here, before the draw that uses them has even been submitted.
        gpu::ShaderResourceView* none[] = {nullptr};
        gpu::SamplerState* noSampler[] = {nullptr};
        context->PSSetShaderResources(0, 1, none);
        context->PSSetSamplers(3, 1, noSampler);
        context->VSSetShader(nullptr);
        context->PSSetShader(nullptr);
    }
    context->Flush();
    for (const Float4& pixel : readFloat4(target.texture.get(), 16))
        EXPECT_TRUE(near(pixel, {0.5f, 0.25f, 0.125f, 1.0f}, 0.0f));
}

TEST_F(Context, ViewsHoldTheirResourceAndReleaseReportsWhatIsLeft) {
    Target target = renderTarget(2, 2);
    EXPECT_EQ(target.texture->AddRef(), 3u); // ours, the view's, and this one
    EXPECT_EQ(target.texture->Release(), 2u);
    gpu::Texture2D* texture = target.texture.get();
    target.texture.reset();
    // The view keeps the texture alive and hands it out.
    gpu::Ref<gpu::Resource> resource = target.view->GetResource();
    EXPECT_EQ(resource.get(), static_cast<gpu::Resource*>(texture));
}
