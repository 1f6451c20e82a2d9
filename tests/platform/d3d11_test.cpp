// What only the Direct3D 11 backend has: WARP, constant buffers rounded up to whole registers, programs
// without DXBC, the information line, and a composition swap chain that either presents or is refused with
// one line (wine has no DirectComposition). The backend-independent suites cover the rest.
#include "platform/window.h"
#include "tests/platform/gpu_fixture.h"

#include <cstring>

namespace {

gpu::DeviceOptions direct3D(gpu::PresentModel present = gpu::PresentModel::Flip) {
    gpu::DeviceOptions options;
    options.renderer = gpu::Renderer::Direct3D11;
    options.present = present;
    return options;
}

} // namespace

// WARP makes a working device and says so; a 20-byte constant buffer (Direct3D wants whole 16-byte
// registers) keeps its 20 bytes through creation and update; a program packed without DXBC is refused with
// its reason; the information line names the renderer, the level and WARP.
TEST(Direct3D11, WarpConstantBuffersAndProgramsWithoutDxbc) {
    ScopedVariable warp("MIRELANDT_D3D11_WARP", "1");
    ScopedVariable info("MIRELANDT_GPU_INFO", "1");
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(gpu::CreateDevice(direct3D(), &device, &context, &error)) << error;
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(device->GetRenderer(), gpu::Renderer::Direct3D11);
    EXPECT_NE(printed.find("rendering on WARP"), std::string::npos) << printed;
    EXPECT_NE(printed.find("d3d11: " + device->GetAdapterName() + ", feature level 11_"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find(", WARP, no presentation"), std::string::npos) << printed;

    uint8_t bytes[20];
    for (uint8_t i = 0; i < 20; ++i) bytes[i] = uint8_t(200 + i);
    gpu::BufferDesc desc;
    desc.ByteWidth = 20;
    desc.BindFlags = gpu::BIND_CONSTANT_BUFFER;
    const gpu::SubresourceData data{bytes, 0, 0};
    auto buffer = device->CreateBuffer(desc, &data);
    ASSERT_TRUE(buffer) << device->GetLastError();
    EXPECT_EQ(buffer->GetDesc().ByteWidth, 20u);
    uint8_t read[20] = {};
    ASSERT_TRUE(context->ReadBack(buffer.get(), 0, read, sizeof read, 0)) << device->GetLastError();
    EXPECT_EQ(std::memcmp(read, bytes, 20), 0);
    for (uint8_t& b : bytes) b = uint8_t(b ^ 0xFF);
    context->UpdateSubresource(buffer.get(), 0, nullptr, bytes, 0, 0);
    ASSERT_TRUE(context->ReadBack(buffer.get(), 0, read, sizeof read, 0)) << device->GetLastError();
    EXPECT_EQ(std::memcmp(read, bytes, 20), 0);

    // The program as the SPIR-V build alone packs it: its header says no DXBC follows.
    const shaders::ShaderProgram* program = shaders::findShaderProgram("output_ps");
    ASSERT_TRUE(program);
    gpu::ShaderBytecodeView parsed;
    ASSERT_TRUE(gpu::ParseShaderBytecode(program->bytecode, program->size, &parsed));
    const size_t spirvEnd = program->size - (size_t(parsed.dxbcByteCount) + 3) / 4 * 4;
    std::vector<uint8_t> spirvOnly(static_cast<const uint8_t*>(program->bytecode),
                                   static_cast<const uint8_t*>(program->bytecode) + spirvEnd);
    gpu::ShaderBytecodeHeader header;
    std::memcpy(&header, spirvOnly.data(), sizeof header);
    header.dxbcByteCount = 0;
    std::memcpy(spirvOnly.data(), &header, sizeof header);
    EXPECT_TRUE(device->CreatePixelShader(program->bytecode, program->size));
    EXPECT_FALSE(device->CreatePixelShader(spirvOnly.data(), spirvOnly.size()));
    EXPECT_EQ(device->GetLastError(), "the program holds no DXBC for Direct3D 11");
}

// The intro's window presented through a composition swap chain: where DirectComposition runs the frames
// present; where it does not, the swap chain is refused with one line naming the call that failed, and the
// device still presents through the flip model.
TEST(Direct3D11, ACompositionSwapChainPresentsOrIsRefusedWithOneLine) {
    window::WindowPlacement placement;
    window::NativeWindow native;
    std::string why;
    if (!window::readDisplaySize(0, &placement.size, &why) ||
        !window::createIntroWindow(placement, &native, &why))
        GTEST_SKIP() << why;
    gpu::SwapChainDesc desc;
    desc.Width = 320;
    desc.Height = 240; // another shape than the screen's: drawn apart and copied in with bands
    for (gpu::PresentModel model : {gpu::PresentModel::Composition, gpu::PresentModel::Flip}) {
        gpu::DeviceOptions options = direct3D(model);
        options.window = native;
        gpu::Ref<gpu::Device> device;
        gpu::Ref<gpu::DeviceContext> context;
        std::string error;
        ASSERT_TRUE(gpu::CreateDevice(options, &device, &context, &error)) << error;
        auto swapChain = device->CreateSwapChainForWindow(native, desc);
        if (!swapChain) {
            ASSERT_EQ(model, gpu::PresentModel::Composition) << device->GetLastError();
            const std::string reason = device->GetLastError();
            EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
            EXPECT_NE(reason.find("Composition"), std::string::npos) << reason;
            continue;
        }
        auto buffer = swapChain->GetBuffer(0);
        ASSERT_TRUE(buffer);
        EXPECT_EQ(buffer->GetDesc().Width, 320u);
        EXPECT_EQ(buffer->GetDesc().Height, 240u);
        auto view = device->CreateRenderTargetView(buffer.get(), nullptr);
        ASSERT_TRUE(view) << device->GetLastError();
        const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        for (int frame = 0; frame < 3; ++frame) {
            context->ClearRenderTargetView(view.get(), colour);
            EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();
        }
        std::vector<uint8_t> pixels(320 * 240 * 4);
        ASSERT_TRUE(context->ReadBack(buffer.get(), 0, pixels.data(), pixels.size(), 0))
            << device->GetLastError();
        EXPECT_NEAR(pixels[1], 128, 1);
    }
}
