// Every rule of the GPU interface, broken one at a time: a call that breaks exactly that rule is refused
// with exactly that code, on the recording double and on the machine's Vulkan device alike, and the Vulkan
// device's check log names the refused call. The table covers every code of the list, so a new rule
// without a row fails here.
#include "tests/gfx/recording_device.h"
#include "tests/platform/gpu_fixture.h"

#include <functional>
#include <set>

using namespace shaders;

namespace {

using gpu::Check;

// Valid objects of one device that the rows break their rules against.
struct Kit {
    Kit(gpu::Device& device, gpu::DeviceContext& context, std::vector<uint8_t> vertexCode,
        std::vector<uint8_t> pixelCode, std::vector<uint8_t> computeCode)
        : device(device), context(context), vertexCode(std::move(vertexCode)),
          pixelCode(std::move(pixelCode)), computeCode(std::move(computeCode)) {}

    gpu::Device& device;
    gpu::DeviceContext& context;
    std::vector<uint8_t> vertexCode, pixelCode, computeCode;
    gpu::Ref<gpu::Buffer> buffer;    // 64 bytes, four structured elements of 16
    gpu::Ref<gpu::Texture1D> line;   // a render target that is not 2D
    gpu::Ref<gpu::Texture2D> image;  // 4x4 RGBA32F, one level
    gpu::Ref<gpu::Texture2D> depth;  // 4x4 D32
    gpu::Ref<gpu::Texture3D> volume; // 4x4x4 R32F, unordered access
    gpu::Ref<gpu::ShaderResourceView> imageView;
    gpu::Ref<gpu::RenderTargetView> target;
    gpu::Ref<gpu::DepthStencilView> depthTarget;
    gpu::Ref<gpu::VertexShader> vs;
    gpu::Ref<gpu::PixelShader> ps;
    gpu::Ref<gpu::ComputeShader> cs;
    gpu::Ref<gpu::Query> query;

    // Everything a draw needs, bound and valid.
    void bindDraw() {
        gpu::RenderTargetView* targets[] = {target.get()};
        context.OMSetRenderTargets(1, targets, nullptr);
        const gpu::Viewport viewport{0, 0, 4, 4, 0, 1};
        context.RSSetViewports(1, &viewport);
        context.IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
        context.VSSetShader(vs.get());
        context.PSSetShader(ps.get());
    }
};

std::vector<uint8_t> bytesOf(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
}

void makeKit(Kit& k) {
    k.buffer = k.device.CreateBuffer({64, gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS,
                                      gpu::RESOURCE_MISC_BUFFER_STRUCTURED, 16},
                                     nullptr);
    k.line =
        k.device.CreateTexture1D({4, 1, gpu::Format::R8G8B8A8_UNORM, gpu::BIND_RENDER_TARGET, 0}, nullptr);
    k.image = k.device.CreateTexture2D(
        {4, 4, 1, gpu::Format::R32G32B32A32_FLOAT, gpu::BIND_SHADER_RESOURCE | gpu::BIND_RENDER_TARGET, 0},
        nullptr);
    k.depth =
        k.device.CreateTexture2D({4, 4, 1, gpu::Format::D32_FLOAT, gpu::BIND_DEPTH_STENCIL, 0}, nullptr);
    k.volume = k.device.CreateTexture3D({4, 4, 4, 1, gpu::Format::R32_FLOAT, gpu::BIND_UNORDERED_ACCESS, 0},
                                        nullptr);
    k.imageView = k.device.CreateShaderResourceView(k.image.get(), nullptr);
    k.target = k.device.CreateRenderTargetView(k.image.get(), nullptr);
    k.depthTarget = k.device.CreateDepthStencilView(k.depth.get(), nullptr);
    k.vs = k.device.CreateVertexShader(k.vertexCode.data(), k.vertexCode.size());
    k.ps = k.device.CreatePixelShader(k.pixelCode.data(), k.pixelCode.size());
    k.cs = k.device.CreateComputeShader(k.computeCode.data(), k.computeCode.size());
    k.query = k.device.CreateQuery({gpu::QueryType::TIMESTAMP, 0});
    ASSERT_TRUE(k.buffer && k.line && k.image && k.depth && k.volume && k.imageView && k.target &&
                k.depthTarget && k.vs && k.ps && k.cs && k.query)
        << k.device.GetLastError();
    EXPECT_EQ(k.device.GetLastFailedCheck(), Check::Passed);
}

struct Row {
    Check code;
    const char* call; // the interface call that breaks the rule
    // Breaks the rule; returns whether the call was refused (a null object or false; true for calls that
    // return nothing).
    std::function<bool(Kit&)> breakRule;
};

template <class T> bool refused(const gpu::Ref<T>& object) {
    return !object;
}

const std::vector<Row>& rows() {
    static const std::vector<Row> kRows = {
        {Check::BufferEmpty, "CreateBuffer",
         [](Kit& k) {
             return refused(k.device.CreateBuffer({0, gpu::BIND_SHADER_RESOURCE, 0, 0}, nullptr));
         }},
        {Check::BufferStride, "CreateBuffer",
         [](Kit& k) {
             return refused(k.device.CreateBuffer(
                 {60, gpu::BIND_SHADER_RESOURCE, gpu::RESOURCE_MISC_BUFFER_STRUCTURED, 16}, nullptr));
         }},
        {Check::BufferStructuredUse, "CreateBuffer",
         [](Kit& k) {
             return refused(k.device.CreateBuffer(
                        {16, gpu::BIND_UNORDERED_ACCESS,
                         gpu::RESOURCE_MISC_DRAWINDIRECT_ARGS | gpu::RESOURCE_MISC_BUFFER_STRUCTURED, 4},
                        nullptr)) &&
                    refused(k.device.CreateBuffer(
                        {16, gpu::BIND_INDEX_BUFFER, gpu::RESOURCE_MISC_BUFFER_STRUCTURED, 4}, nullptr));
         }},
        {Check::TextureEmpty, "CreateTexture2D",
         [](Kit& k) {
             return refused(k.device.CreateTexture2D(
                 {0, 4, 1, gpu::Format::R8G8B8A8_UNORM, gpu::BIND_SHADER_RESOURCE, 0}, nullptr));
         }},
        {Check::TextureFormat, "CreateTexture3D",
         [](Kit& k) {
             return refused(k.device.CreateTexture3D(
                 {4, 4, 4, 1, gpu::Format::UNKNOWN, gpu::BIND_SHADER_RESOURCE, 0}, nullptr));
         }},
        {Check::TextureTargetFormat, "CreateTexture2D",
         [](Kit& k) {
             return refused(k.device.CreateTexture2D(
                 {4, 4, 1, gpu::Format::D32_FLOAT, gpu::BIND_RENDER_TARGET, 0}, nullptr));
         }},
        {Check::ViewResource, "CreateShaderResourceView",
         [](Kit& k) { return refused(k.device.CreateShaderResourceView(nullptr, nullptr)); }},
        {Check::ViewBindFlag, "CreateRenderTargetView",
         [](Kit& k) { return refused(k.device.CreateRenderTargetView(k.depth.get(), nullptr)); }},
        {Check::ViewElements, "CreateShaderResourceView",
         [](Kit& k) {
             gpu::ShaderResourceViewDesc desc;
             desc.ViewDimension = gpu::ViewDimension::Buffer;
             desc.FirstElement = 2;
             desc.NumElements = 3;
             return refused(k.device.CreateShaderResourceView(k.buffer.get(), &desc));
         }},
        {Check::ViewMips, "CreateShaderResourceView",
         [](Kit& k) {
             gpu::ShaderResourceViewDesc desc;
             desc.MostDetailedMip = 1;
             return refused(k.device.CreateShaderResourceView(k.image.get(), &desc));
         }},
        {Check::ViewSlices, "CreateUnorderedAccessView",
         [](Kit& k) {
             gpu::UnorderedAccessViewDesc desc;
             desc.ViewDimension = gpu::ViewDimension::Texture3D;
             desc.FirstWSlice = 1;
             return refused(k.device.CreateUnorderedAccessView(k.volume.get(), &desc));
         }},
        {Check::ViewTargetDimension, "CreateRenderTargetView",
         [](Kit& k) { return refused(k.device.CreateRenderTargetView(k.line.get(), nullptr)); }},
        {Check::ViewTargetFormat, "CreateRenderTargetView",
         [](Kit& k) {
             const gpu::RenderTargetViewDesc desc{gpu::Format::R8G8B8A8_UNORM, 0};
             return refused(k.device.CreateRenderTargetView(k.image.get(), &desc));
         }},
        {Check::SamplerFilter, "CreateSamplerState",
         [](Kit& k) {
             gpu::SamplerDesc desc;
             desc.Filter = gpu::Filter(0x7);
             return refused(k.device.CreateSamplerState(desc));
         }},
        {Check::SamplerAddress, "CreateSamplerState",
         [](Kit& k) {
             gpu::SamplerDesc desc;
             desc.AddressW = gpu::TextureAddressMode(9);
             return refused(k.device.CreateSamplerState(desc));
         }},
        {Check::SamplerLod, "CreateSamplerState",
         [](Kit& k) {
             gpu::SamplerDesc desc;
             desc.MinLOD = 2.0f;
             desc.MaxLOD = 1.0f;
             return refused(k.device.CreateSamplerState(desc));
         }},
        {Check::RasterizerMode, "CreateRasterizerState",
         [](Kit& k) {
             gpu::RasterizerDesc desc;
             desc.CullMode = gpu::CullMode(7);
             return refused(k.device.CreateRasterizerState(desc));
         }},
        {Check::BlendFactor, "CreateBlendState",
         [](Kit& k) {
             gpu::BlendDesc desc;
             desc.RenderTarget[0].DestBlendAlpha = gpu::Blend(12);
             return refused(k.device.CreateBlendState(desc));
         }},
        {Check::BlendWriteMask, "CreateBlendState",
         [](Kit& k) {
             gpu::BlendDesc desc;
             desc.IndependentBlendEnable = true;
             desc.RenderTarget[5].RenderTargetWriteMask = 0x1F;
             return refused(k.device.CreateBlendState(desc));
         }},
        {Check::ShaderBytecode, "CreateVertexShader",
         [](Kit& k) {
             return refused(k.device.CreateVertexShader(k.vertexCode.data(), k.vertexCode.size() - 4));
         }},
        {Check::ShaderStage, "CreatePixelShader",
         [](Kit& k) {
             return refused(k.device.CreatePixelShader(k.vertexCode.data(), k.vertexCode.size()));
         }},
        {Check::QueryType, "CreateQuery",
         [](Kit& k) {
             return refused(k.device.CreateQuery({gpu::QueryType(7), 0}));
         }},
        {Check::SwapChainFormat, "CreateSwapChainForWindow",
         [](Kit& k) {
             gpu::SwapChainDesc desc{4, 4, gpu::Format::R32_FLOAT, 2};
             return refused(k.device.CreateSwapChainForWindow({}, desc));
         }},
        {Check::SlotRange, "PSSetShaderResources",
         [](Kit& k) {
             gpu::ShaderResourceView* views[] = {k.imageView.get(), k.imageView.get()};
             k.context.PSSetShaderResources(15, 2, views);
             return true;
         }},
        {Check::TargetCount, "OMSetRenderTargets",
         [](Kit& k) {
             gpu::RenderTargetView* views[9] = {k.target.get()};
             k.context.OMSetRenderTargets(9, views, nullptr);
             return true;
         }},
        {Check::Topology, "IASetPrimitiveTopology",
         [](Kit& k) {
             k.context.IASetPrimitiveTopology(gpu::PrimitiveTopology(9));
             return true;
         }},
        {Check::DrawVertexShader, "Draw",
         [](Kit& k) {
             k.bindDraw();
             k.context.VSSetShader(nullptr);
             k.context.Draw(3, 0);
             return true;
         }},
        {Check::DrawTopology, "DrawInstanced",
         [](Kit& k) {
             k.bindDraw();
             k.context.IASetPrimitiveTopology(gpu::PrimitiveTopology::UNDEFINED);
             k.context.DrawInstanced(3, 2, 0, 0);
             return true;
         }},
        {Check::DrawViewport, "Draw",
         [](Kit& k) {
             k.bindDraw();
             const gpu::Viewport flat{0, 0, 4, 0, 0, 1};
             k.context.RSSetViewports(1, &flat);
             k.context.Draw(3, 0);
             return true;
         }},
        {Check::DrawTarget, "Draw",
         [](Kit& k) {
             k.bindDraw();
             k.context.OMSetRenderTargets(0, nullptr, nullptr);
             k.context.Draw(3, 0);
             return true;
         }},
        {Check::IndexBuffer, "IASetIndexBuffer",
         [](Kit& k) {
             // The kit's buffer was not made for indices.
             k.context.IASetIndexBuffer(k.buffer.get(), gpu::Format::R32_UINT, 0);
             return true;
         }},
        {Check::DrawIndexBuffer, "DrawIndexedInstanced",
         [](Kit& k) {
             k.bindDraw();
             k.context.IASetIndexBuffer(nullptr, gpu::Format::R32_UINT, 0);
             k.context.DrawIndexedInstanced(3, 1, 0, 0, 0);
             return true;
         }},
        {Check::DrawArguments, "DrawIndexedInstancedIndirect",
         [](Kit& k) {
             k.bindDraw();
             gpu::Ref<gpu::Buffer> indices =
                 k.device.CreateBuffer({16, gpu::BIND_INDEX_BUFFER, 0, 0}, nullptr);
             k.context.IASetIndexBuffer(indices.get(), gpu::Format::R32_UINT, 0);
             // The kit's buffer was not made for draw arguments.
             k.context.DrawIndexedInstancedIndirect(k.buffer.get(), 0);
             k.context.IASetIndexBuffer(nullptr, gpu::Format::R32_UINT, 0);
             return true;
         }},
        {Check::DispatchShader, "Dispatch",
         [](Kit& k) {
             k.context.CSSetShader(nullptr);
             k.context.Dispatch(1, 1, 1);
             return true;
         }},
        {Check::DispatchSize, "Dispatch",
         [](Kit& k) {
             k.context.CSSetShader(k.cs.get());
             k.context.Dispatch(1, 65536, 1);
             k.context.CSSetShader(nullptr);
             return true;
         }},
        {Check::ClearView, "ClearRenderTargetView",
         [](Kit& k) {
             const float colour[4] = {};
             k.context.ClearRenderTargetView(nullptr, colour);
             return true;
         }},
        {Check::ClearFlags, "ClearDepthStencilView",
         [](Kit& k) {
             k.context.ClearDepthStencilView(k.depthTarget.get(), 0, 1.0f, 0);
             return true;
         }},
        {Check::TransferResource, "UpdateSubresource",
         [](Kit& k) {
             k.context.UpdateSubresource(k.buffer.get(), 0, nullptr, nullptr, 0, 0);
             return true;
         }},
        {Check::Subresource, "UpdateSubresource",
         [](Kit& k) {
             uint8_t texels[4 * 4 * 16] = {};
             k.context.UpdateSubresource(k.image.get(), 1, nullptr, texels, 4 * 16, 0);
             return true;
         }},
        {Check::UpdateBox, "UpdateSubresource",
         [](Kit& k) {
             const uint8_t bytes[64] = {};
             const gpu::Box box{8, 0, 0, 72, 1, 1};
             k.context.UpdateSubresource(k.buffer.get(), 0, &box, bytes, 0, 0);
             return true;
         }},
        {Check::ReadBackSize, "ReadBack",
         [](Kit& k) {
             uint8_t bytes[4 * 4 * 16] = {};
             return !k.context.ReadBack(k.image.get(), 0, bytes, sizeof(bytes) - 1, 0);
         }},
        {Check::MipsView, "GenerateMips",
         [](Kit& k) {
             k.context.GenerateMips(nullptr);
             return true;
         }},
        {Check::QueryMissing, "End",
         [](Kit& k) {
             k.context.End(nullptr);
             return true;
         }},
        {Check::QueryDataSize, "GetData",
         [](Kit& k) {
             k.context.End(k.query.get());
             uint64_t ticks = 0;
             return k.context.GetData(k.query.get(), &ticks, 4, 0) == gpu::QueryStatus::UNAVAILABLE;
         }},
    };
    return kRows;
}

// With `loggedCalls`, the device prints its failures (MIRELANDT_GPU_CHECKS), each line naming the call.
void walkEveryRule(Kit& kit, bool loggedCalls) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(gpu::CheckName(row.code));
        if (loggedCalls) ::testing::internal::CaptureStderr();
        EXPECT_TRUE(row.breakRule(kit)) << "the call went through";
        EXPECT_EQ(gpu::CheckName(kit.device.GetLastFailedCheck()), std::string(gpu::CheckName(row.code)));
        if (!loggedCalls) continue;
        const std::string line = std::string(row.call) + ": gpu check " + gpu::CheckName(row.code) +
                                 " failed: " + gpu::CheckMessage(row.code) + "\n";
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), line);
    }
}

TEST(CheckCodes, TheTableHasOneRowPerCodeAndEveryCodeItsOwnMessage) {
    std::set<Check> codes;
    std::set<std::string> messages;
    for (const Row& row : rows()) {
        codes.insert(row.code);
        messages.insert(gpu::CheckMessage(row.code));
    }
    EXPECT_EQ(rows().size(), gpu::kCheckCount - 1);
    EXPECT_EQ(codes.size(), gpu::kCheckCount - 1);
    EXPECT_EQ(messages.size(), gpu::kCheckCount - 1);
    EXPECT_EQ(codes.count(Check::Passed), 0u);
}

TEST(CheckCodes, TheRecordingDoubleRefusesEachBrokenRuleWithItsCode) {
    auto device = gpu::Ref<recording::Device>::adopt(new recording::Device);
    const std::vector<uint32_t> vertex = recording::fakeShaderBytecode(gpu::ShaderStage::Vertex);
    const std::vector<uint32_t> pixel = recording::fakeShaderBytecode(gpu::ShaderStage::Pixel);
    const std::vector<uint32_t> compute = recording::fakeShaderBytecode(gpu::ShaderStage::Compute);
    Kit kit(*device, device->context(), bytesOf(vertex.data(), vertex.size() * 4),
            bytesOf(pixel.data(), pixel.size() * 4), bytesOf(compute.data(), compute.size() * 4));
    makeKit(kit);
    walkEveryRule(kit, false);
    // Refused draws and dispatches did no work: the double's clock never ticked.
    EXPECT_EQ(device->ticks, 0u);
}

// What a view check hands a backend: its description's defaults (a null description, ~0u levels, an UNKNOWN
// format) worked out against the resource.
TEST(CheckCodes, ViewChecksResolveTheirDescriptionsDefaults) {
    using gpu::Format;
    using gpu::ViewDimension;
    auto device = gpu::Ref<recording::Device>::adopt(new recording::Device);
    const gpu::Ref<gpu::Buffer> buffer = device->CreateBuffer(
        {64, gpu::BIND_SHADER_RESOURCE, gpu::RESOURCE_MISC_BUFFER_STRUCTURED, 16}, nullptr);
    // 8x8: four levels.
    const gpu::Ref<gpu::Texture2D> image = device->CreateTexture2D(
        {8, 8, 0, Format::R8G8B8A8_UNORM,
         gpu::BIND_SHADER_RESOURCE | gpu::BIND_RENDER_TARGET | gpu::BIND_UNORDERED_ACCESS, 0},
        nullptr);
    const gpu::Ref<gpu::Texture3D> volume =
        device->CreateTexture3D({4, 4, 4, 1, Format::R32_FLOAT, gpu::BIND_UNORDERED_ACCESS, 0}, nullptr);
    const gpu::Ref<gpu::Texture2D> depth =
        device->CreateTexture2D({4, 4, 1, Format::D32_FLOAT, gpu::BIND_DEPTH_STENCIL, 0}, nullptr);
    ASSERT_TRUE(buffer && image && volume && depth);

    gpu::ShaderResourceViewDesc fromLevel1;
    fromLevel1.MostDetailedMip = 1;
    gpu::ShaderResourceViewDesc oneLevelAsFloat = fromLevel1;
    oneLevelAsFloat.Format = Format::R32_FLOAT;
    oneLevelAsFloat.MipLevels = 1;
    gpu::ShaderResourceViewDesc typedElements;
    typedElements.Format = Format::R32_UINT;
    typedElements.FirstElement = 2;
    typedElements.NumElements = 3;
    gpu::UnorderedAccessViewDesc level2;
    level2.MipSlice = 2;
    const gpu::RenderTargetViewDesc targetLevel3{Format::UNKNOWN, 3};

    struct Case {
        const char* name;
        std::function<Check(gpu::ResolvedView*)> check;
        gpu::ResolvedView expected;
    };
    const Case cases[] = {
        {"texture, no description",
         [&](auto* r) { return gpu::CheckShaderResourceView(image.get(), nullptr, r); },
         {ViewDimension::Texture2D, Format::R8G8B8A8_UNORM, 0, 4, {}}},
        {"texture, all levels from 1",
         [&](auto* r) { return gpu::CheckShaderResourceView(image.get(), &fromLevel1, r); },
         {ViewDimension::Texture2D, Format::R8G8B8A8_UNORM, 1, 3, {}}},
        {"texture, one level in another format",
         [&](auto* r) { return gpu::CheckShaderResourceView(image.get(), &oneLevelAsFloat, r); },
         {ViewDimension::Texture2D, Format::R32_FLOAT, 1, 1, {}}},
        {"structured buffer, no description",
         [&](auto* r) { return gpu::CheckShaderResourceView(buffer.get(), nullptr, r); },
         {ViewDimension::Buffer, Format::UNKNOWN, 0, 0, {0, 64}}},
        {"buffer, typed elements 2 to 4",
         [&](auto* r) { return gpu::CheckShaderResourceView(buffer.get(), &typedElements, r); },
         {ViewDimension::Buffer, Format::R32_UINT, 0, 0, {8, 12}}},
        {"unordered access of level 2",
         [&](auto* r) { return gpu::CheckUnorderedAccessView(image.get(), &level2, r); },
         {ViewDimension::Texture2D, Format::R8G8B8A8_UNORM, 2, 1, {}}},
        {"unordered access of a volume",
         [&](auto* r) { return gpu::CheckUnorderedAccessView(volume.get(), nullptr, r); },
         {ViewDimension::Texture3D, Format::R32_FLOAT, 0, 1, {}}},
        {"render target of level 3",
         [&](auto* r) { return gpu::CheckRenderTargetView(image.get(), &targetLevel3, r); },
         {ViewDimension::Texture2D, Format::R8G8B8A8_UNORM, 3, 1, {}}},
        {"depth target, no description",
         [&](auto* r) { return gpu::CheckDepthStencilView(depth.get(), nullptr, r); },
         {ViewDimension::Texture2D, Format::D32_FLOAT, 0, 1, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gpu::ResolvedView resolved;
        ASSERT_EQ(c.check(&resolved), Check::Passed);
        EXPECT_EQ(resolved.dimension, c.expected.dimension);
        EXPECT_EQ(resolved.format, c.expected.format);
        EXPECT_EQ(resolved.firstMip, c.expected.firstMip);
        EXPECT_EQ(resolved.mipCount, c.expected.mipCount);
        EXPECT_EQ(resolved.elements.offset, c.expected.elements.offset);
        EXPECT_EQ(resolved.elements.size, c.expected.elements.size);
    }
}

class VulkanCheckCodes : public GpuTest {
    // Set before the fixture makes its device, which reads it once.
    ScopedVariable printing_{"MIRELANDT_GPU_CHECKS", "1"};
};

TEST_F(VulkanCheckCodes, TheDeviceRefusesEachBrokenRuleWithItsCodeBeforeVulkanSeesIt) {
    const ShaderProgram& vertex = program("fullscreen_vs");
    const ShaderProgram& pixel = program("uv_ps");
    const ShaderProgram& compute = program("structured_write_cs");
    Kit kit(*device, *context, bytesOf(vertex.bytecode, vertex.size), bytesOf(pixel.bytecode, pixel.size),
            bytesOf(compute.bytecode, compute.size));
    makeKit(kit);
    walkEveryRule(kit, true);
    // The message of the last failure is the device's last error too.
    EXPECT_EQ(device->GetLastError(), gpu::CheckMessage(Check::QueryDataSize));
    // TearDown fails the test on any validation message: none of the broken calls reached Vulkan.
}

} // namespace
