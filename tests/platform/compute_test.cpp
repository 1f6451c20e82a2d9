// Compute programs writing buffers and textures, typed data buffers and the shared samplers.
#include "tests/platform/gpu_fixture.h"

#include "platform/shared_samplers.h"

using Compute = GpuTest;

namespace {

gpu::Ref<gpu::Buffer> structuredBuffer(gpu::Device& device, uint32_t stride, uint32_t count, const void* data,
                                       uint32_t bind = gpu::BIND_SHADER_RESOURCE |
                                                       gpu::BIND_UNORDERED_ACCESS) {
    gpu::BufferDesc desc;
    desc.ByteWidth = stride * count;
    desc.BindFlags = bind;
    desc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    desc.StructureByteStride = stride;
    const gpu::SubresourceData initial{data, 0, 0};
    auto buffer = device.CreateBuffer(desc, data ? &initial : nullptr);
    EXPECT_TRUE(buffer) << device.GetLastError();
    return buffer;
}

} // namespace

TEST_F(Compute, KernelWritesAStructuredBufferThatTheCpuReadsBack) {
    auto buffer = structuredBuffer(*device, 16, 32, nullptr);
    auto uav = device->CreateUnorderedAccessView(buffer.get(), nullptr);
    auto block = contextBlock({{"CameraPosX", 2.5f}}, 7);
    gpu::Buffer* constants[] = {block.get()};
    gpu::UnorderedAccessView* outputs[] = {uav.get()};
    context->CSSetConstantBuffers(8, 1, constants);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    auto kernel = computeShader("structured_write_cs");
    context->CSSetShader(kernel.get());
    context->Dispatch(4, 1, 1); // 8 threads per group
    const auto values = readFloat4(buffer.get(), 32);
    for (uint32_t i = 0; i < 32; ++i)
        EXPECT_TRUE(near(values[i], {float(i), float(i * i), 7.0f, 2.5f}, 0.0f)) << i;
}

TEST_F(Compute, SuccessiveDispatchesSeeEachOthersWritesAndTheirOwnContextBlock) {
    // One constant buffer, rewritten between the dispatches as the frame loop rewrites the
    // context block before each pass; the second dispatch overwrites what the first wrote. Without
    // barriers the update could reach the first dispatch or the writes land in either order.
    auto buffer = structuredBuffer(*device, 16, 8, nullptr);
    auto uav = device->CreateUnorderedAccessView(buffer.get(), nullptr);
    auto kernel = computeShader("structured_write_cs");
    auto block = contextBlock({});
    gpu::Buffer* constants[] = {block.get()};
    gpu::UnorderedAccessView* outputs[] = {uav.get()};
    context->CSSetConstantBuffers(8, 1, constants);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    context->CSSetShader(kernel.get());
    std::vector<uint32_t> words(256, 0);
    for (uint32_t frame : {1u, 2u}) {
        words[1] = frame;
        context->UpdateSubresource(block.get(), 0, nullptr, words.data(), 0, 0);
        context->Dispatch(1, 1, 1);
    }
    for (const Float4& value : readFloat4(buffer.get(), 8)) EXPECT_EQ(value.z, 2.0f);
}

TEST_F(Compute, ContextMatricesKeepTheirStoredRowsAsShaderColumns) {
    // The 16 floats stored for viewMatrix at byte 32 are 0..15; each group of four stored
    // floats is a column of the matrix the program sees.
    std::vector<float> block(256, 0.0f);
    for (int i = 0; i < 16; ++i) block[8 + i] = float(i);
    gpu::BufferDesc desc;
    desc.ByteWidth = 1024;
    desc.BindFlags = gpu::BIND_CONSTANT_BUFFER;
    const gpu::SubresourceData data{block.data(), 0, 0};
    auto constants = device->CreateBuffer(desc, &data);
    auto result = structuredBuffer(*device, 16, 4, nullptr);
    auto resultView = device->CreateUnorderedAccessView(result.get(), nullptr);
    gpu::Buffer* cbs[] = {constants.get()};
    gpu::UnorderedAccessView* outputs[] = {resultView.get()};
    context->CSSetConstantBuffers(8, 1, cbs);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    auto kernel = computeShader("matrix_cs");
    context->CSSetShader(kernel.get());
    context->Dispatch(1, 1, 1);
    const auto r = readFloat4(result.get(), 4);
    EXPECT_TRUE(near(r[0], {0, 1, 2, 3}, 0.0f)) << "M applied to x is stored group 0";
    EXPECT_TRUE(near(r[1], {4, 5, 6, 7}, 0.0f)) << "M applied to y is stored group 1";
    EXPECT_TRUE(near(r[2], {0, 4, 8, 12}, 0.0f)) << "row 0 takes the first float of each group";
    EXPECT_TRUE(near(r[3], {0, 4, 8, 12}, 0.0f)) << "x times M is row 0";
}

TEST_F(Compute, KernelWritesATextureThroughAnUnorderedAccessView) {
    gpu::Texture2DDesc desc;
    desc.Width = 16;
    desc.Height = 8;
    desc.Format = gpu::Format::R32G32B32A32_FLOAT;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS | gpu::BIND_RENDER_TARGET;
    auto texture = device->CreateTexture2D(desc, nullptr);
    auto uav = device->CreateUnorderedAccessView(texture.get(), nullptr);
    ASSERT_TRUE(uav) << device->GetLastError();
    gpu::UnorderedAccessView* outputs[] = {uav.get()};
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    auto kernel = computeShader("texture_write_cs");
    context->CSSetShader(kernel.get());
    context->Dispatch(2, 1, 1);
    const auto texels = readFloat4(texture.get(), 16 * 8);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            EXPECT_TRUE(near(texels[y * 16 + x], {float(x), float(y), float(x * 100 + y), 1.0f}, 0.0f));
}

// Data buffers are structured buffers of 4-byte elements. Whether their views carry the
// element format or not, Buffer<int> and Buffer<float> read element i as value i.
class DataBuffers : public GpuTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DataBuffers, ReadElementIAsValueI) {
    const bool typedViews = GetParam();
    if (typedViews && device->GetRenderer() != gpu::Renderer::Vulkan)
        GTEST_SKIP() << "Direct3D 11 views structured buffers by their structure only";
    constexpr uint32_t kN = 24;
    std::vector<int32_t> integers(kN);
    std::vector<float> floats(kN);
    for (uint32_t i = 0; i < kN; ++i) {
        integers[i] = int32_t(i) - 5;
        floats[i] = float(i) * 0.25f;
    }
    auto intBuffer = structuredBuffer(*device, 4, kN, integers.data());
    auto floatBuffer = structuredBuffer(*device, 4, kN, floats.data());
    auto result = structuredBuffer(*device, 8, kN, nullptr);
    gpu::ShaderResourceViewDesc typed;
    typed.ViewDimension = gpu::ViewDimension::Buffer;
    typed.NumElements = kN;
    typed.Format = gpu::Format::R32_SINT;
    auto intView = device->CreateShaderResourceView(intBuffer.get(), typedViews ? &typed : nullptr);
    typed.Format = gpu::Format::R32_FLOAT;
    auto floatView = device->CreateShaderResourceView(floatBuffer.get(), typedViews ? &typed : nullptr);
    auto resultView = device->CreateUnorderedAccessView(result.get(), nullptr);
    ASSERT_TRUE(intView && floatView && resultView) << device->GetLastError();
    gpu::ShaderResourceView* inputs[] = {intView.get(), floatView.get()};
    gpu::UnorderedAccessView* outputs[] = {resultView.get()};
    context->CSSetShaderResources(0, 2, inputs);
    context->CSSetUnorderedAccessViews(2, 1, outputs, nullptr); // after the two inputs, as passes bind them
    auto kernel = computeShader("typed_buffers_cs");
    context->CSSetShader(kernel.get());
    context->Dispatch(3, 1, 1);
    std::vector<float> pairs(2 * kN);
    ASSERT_TRUE(context->ReadBack(result.get(), 0, pairs.data(), pairs.size() * 4, 0));
    for (uint32_t i = 0; i < kN; ++i) {
        EXPECT_EQ(pairs[2 * i], float(integers[i])) << i;
        EXPECT_EQ(pairs[2 * i + 1], floats[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Views, DataBuffers, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Typed" : "Structured";
                         });

TEST_F(Compute, SharedSamplersFilterAndAddressAsTheirSlotsSay) {
    const Float4 left{1.0f, 0.0f, 0.0f, 1.0f}, right{0.0f, 1.0f, 0.0f, 0.5f};
    auto source = textureView(2, 1, {left, right});
    auto samplers = gpu::bindSharedSamplers(*device, *context);
    for (const auto& sampler : samplers) ASSERT_TRUE(sampler) << device->GetLastError();
    auto result = structuredBuffer(*device, 16, 18, nullptr);
    auto resultView = device->CreateUnorderedAccessView(result.get(), nullptr);
    gpu::ShaderResourceView* inputs[] = {source.get()};
    gpu::UnorderedAccessView* outputs[] = {resultView.get()};
    context->CSSetShaderResources(0, 1, inputs);
    context->CSSetUnorderedAccessViews(0, 1, outputs, nullptr);
    auto kernel = computeShader("samplers_cs");
    context->CSSetShader(kernel.get());
    context->Dispatch(1, 1, 1);
    const auto r = readFloat4(result.get(), 18);
    const Float4 half{0.5f, 0.5f, 0.0f, 0.75f}, none{0.0f, 0.0f, 0.0f, 0.0f};
    // At u = 0.5, 0.0 and 1.0, with the texel centres at 0.25 and 0.75.
    const Float4 expected[6][3] = {
        {half, left, right},                                         // linear clamp
        {half, {0.5f, 0.0f, 0.0f, 0.5f}, {0.0f, 0.5f, 0.0f, 0.25f}}, // linear border: half texel, half border
        {half, half, half},                                          // linear wrap: the far texel wraps in
        {right, left, right},                                        // point clamp
        {right, left, none},                                         // point border
        {right, left, left},                                         // point wrap
    };
    for (int slot = 0; slot < 6; ++slot)
        for (int i = 0; i < 3; ++i) {
            const Float4& e = expected[slot][i];
            EXPECT_TRUE(near(r[slot * 3 + i], {e.x, e.y, e.z, e.w}, 1e-2f))
                << "slot " << slot << " coordinate " << i;
        }
}
