#include "tests/platform/gpu_fixture.h"

#include "platform/device_choice.h"

#include <cmath>
#include <cstring>
#include <fstream>

using namespace shaders;

namespace {

void collectMessage(void* user, const char* message) {
    static_cast<std::vector<std::string>*>(user)->push_back(message);
}

} // namespace

gpu::DeviceOptions validatedOptions(std::vector<std::string>* messages) {
    gpu::DeviceOptions options;
#ifndef _WIN32
    options.debugLayer = true;
#endif
    options.debugMessage = collectMessage;
    options.debugMessageUser = messages;
    return options;
}

::testing::AssertionResult rendersAsAsked(gpu::Renderer renderer) {
    std::optional<gpu::Renderer> asked;
    std::string error;
    if (!gpu::AskedRenderer({}, &asked, &error)) return ::testing::AssertionFailure() << error;
    if (!asked || renderer == *asked) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "MIRELANDT_GPU asks for " << gpu::RendererName(*asked)
                                         << ", the device renders with " << gpu::RendererName(renderer);
}

bool anotherRendererAsked() {
    std::optional<gpu::Renderer> asked;
    std::string error;
    return gpu::AskedRenderer({}, &asked, &error) && asked && *asked != gpu::Renderer::Vulkan;
}

int trackIndex(std::string_view name) {
    std::ifstream table(MIRELANDT_TRACK_NAMES);
    std::string line;
    for (int index = 0; std::getline(table, line); ++index) {
        if (line == name) return index;
    }
    ADD_FAILURE() << "no track " << name;
    return 0;
}

void GpuTest::SetUp() {
    std::string error;
    ASSERT_TRUE(gpu::CreateDevice(validatedOptions(&messages), &device, &context, &error)) << error;
    ASSERT_TRUE(rendersAsAsked(device->GetRenderer()));
}

void GpuTest::TearDown() {
    context.reset();
    device.reset();
    for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
}

const ShaderProgram& GpuTest::program(std::string_view name) {
    const ShaderProgram* found = shaders::findShaderProgram(name);
    if (!found) found = test_shaders::findShaderProgram(name);
    if (!found) throw std::runtime_error("no shader program " + std::string(name));
    return *found;
}

gpu::Ref<gpu::VertexShader> GpuTest::vertexShader(std::string_view name) {
    const ShaderProgram& p = program(name);
    return device->CreateVertexShader(p.bytecode, p.size);
}

gpu::Ref<gpu::PixelShader> GpuTest::pixelShader(std::string_view name) {
    const ShaderProgram& p = program(name);
    return device->CreatePixelShader(p.bytecode, p.size);
}

gpu::Ref<gpu::ComputeShader> GpuTest::computeShader(std::string_view name) {
    const ShaderProgram& p = program(name);
    return device->CreateComputeShader(p.bytecode, p.size);
}

GpuTest::Target GpuTest::renderTarget(uint32_t width, uint32_t height, gpu::Format format) {
    gpu::Texture2DDesc desc;
    desc.Width = width;
    desc.Height = height;
    desc.Format = format;
    desc.BindFlags = gpu::BIND_RENDER_TARGET | gpu::BIND_SHADER_RESOURCE;
    Target target;
    target.texture = device->CreateTexture2D(desc, nullptr);
    EXPECT_TRUE(target.texture) << device->GetLastError();
    if (target.texture) target.view = device->CreateRenderTargetView(target.texture.get(), nullptr);
    return target;
}

gpu::Ref<gpu::ShaderResourceView> GpuTest::textureView(uint32_t width, uint32_t height,
                                                       const std::vector<Float4>& texels) {
    gpu::Texture2DDesc desc;
    desc.Width = width;
    desc.Height = height;
    desc.Format = gpu::Format::R32G32B32A32_FLOAT;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE;
    const gpu::SubresourceData data{texels.data(), width * uint32_t(sizeof(Float4)), 0};
    auto texture = device->CreateTexture2D(desc, &data);
    EXPECT_TRUE(texture) << device->GetLastError();
    return texture ? device->CreateShaderResourceView(texture.get(), nullptr) : nullptr;
}

gpu::Ref<gpu::Buffer> GpuTest::contextBlock(const std::vector<std::pair<std::string_view, float>>& tracks,
                                            uint32_t frame) {
    std::vector<float> block(256, 0.0f);
    std::memcpy(&block[1], &frame, 4);
    for (const auto& [name, value] : tracks) block[608 / 4 + trackIndex(name)] = value;
    gpu::BufferDesc desc;
    desc.ByteWidth = 1024;
    desc.BindFlags = gpu::BIND_CONSTANT_BUFFER;
    const gpu::SubresourceData data{block.data(), 0, 0};
    return device->CreateBuffer(desc, &data);
}

void GpuTest::drawFullscreen(const Target& target, gpu::VertexShader* vs, gpu::PixelShader* ps) {
    const gpu::Texture2DDesc desc = target.texture->GetDesc();
    const gpu::Viewport viewport{0.0f, 0.0f, float(desc.Width), float(desc.Height), 0.0f, 1.0f};
    gpu::RenderTargetView* views[] = {target.view.get()};
    context->OMSetRenderTargets(1, views, nullptr);
    context->RSSetViewports(1, &viewport);
    context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
    context->VSSetShader(vs);
    context->PSSetShader(ps);
    context->DrawInstanced(3, 1, 0, 0);
}

std::vector<Float4> GpuTest::readFloat4(gpu::Resource* resource, size_t count) {
    std::vector<Float4> values(count);
    EXPECT_TRUE(context->ReadBack(resource, 0, values.data(), count * sizeof(Float4), 0))
        << device->GetLastError();
    return values;
}

::testing::AssertionResult near(const Float4& a, const Float4& e, float tolerance) {
    const bool close = std::fabs(a.x - e.x) <= tolerance && std::fabs(a.y - e.y) <= tolerance &&
                       std::fabs(a.z - e.z) <= tolerance && std::fabs(a.w - e.w) <= tolerance;
    if (close) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.x << ", " << a.y << ", " << a.z << ", " << a.w << ") is not (" << e.x << ", " << e.y
           << ", " << e.z << ", " << e.w << ") within " << tolerance;
}
