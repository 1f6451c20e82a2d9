// Device choice and the refusals that must come back as clear errors rather than crashes.
#include "tests/platform/gpu_fixture.h"

using namespace shaders;

namespace {

// The tests of Vulkan's own variables ask for it: the platform's default may be another renderer.
gpu::DeviceOptions vulkanOptions() {
    gpu::DeviceOptions options;
    options.renderer = gpu::Renderer::Vulkan;
    return options;
}

} // namespace

TEST(DeviceChoice, AnAdapterNameThatMatchesNothingIsOneClearErrorLine) {
    if (anotherRendererAsked()) GTEST_SKIP() << "Vulkan's own; MIRELANDT_GPU asks for another renderer";
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::string error;
    {
        ScopedVariable adapter("MIRELANDT_VULKAN_DEVICE", "no-such-adapter");
        EXPECT_FALSE(gpu::CreateDevice(vulkanOptions(), &device, &context, &error));
    }
    EXPECT_FALSE(device);
    EXPECT_FALSE(context);
    EXPECT_NE(error.find("no-such-adapter"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(DeviceChoice, NoVulkanDriverIsOneClearErrorLine) {
#ifdef _WIN32
    GTEST_SKIP() << "wine's Vulkan reads the driver list from the environment the process started with: "
                    "scripts/windows-tests.sh checks this from outside";
#endif
    if (anotherRendererAsked()) GTEST_SKIP() << "Vulkan's own; MIRELANDT_GPU asks for another renderer";
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    std::string error;
    bool created = false;
    {
        // The loader finds no driver at all when pointed at a file that does not exist.
        ScopedVariable drivers("VK_ICD_FILENAMES", "/nonexistent/no_driver.json");
        created = gpu::CreateDevice(vulkanOptions(), &device, &context, &error);
    }
    EXPECT_FALSE(created);
    EXPECT_FALSE(device);
    EXPECT_NE(error.find("Vulkan"), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

// The information line names the adapter and the path; the test setting takes the 1.2 path on any
// device, with its extensions named, and validation has nothing to say about either path.
TEST(DeviceChoice, TheInformationLineNamesThePathAndTheForcedPathIsVulkan12) {
    if (anotherRendererAsked()) GTEST_SKIP() << "Vulkan's own; MIRELANDT_GPU asks for another renderer";
    ScopedVariable info("MIRELANDT_VULKAN_INFO", "1");
    auto lineOf = [](const char* force) {
        ScopedVariable forced("MIRELANDT_VULKAN_FORCE_1_2", force);
        std::vector<std::string> messages;
        gpu::Ref<gpu::Device> device;
        gpu::Ref<gpu::DeviceContext> context;
        std::string error;
        ::testing::internal::CaptureStderr();
        gpu::DeviceOptions options = validatedOptions(&messages);
        options.renderer = gpu::Renderer::Vulkan;
        const bool created = gpu::CreateDevice(options, &device, &context, &error);
        std::string line = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(created) << error;
        for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
        return line;
    };
    const std::string usual = lineOf(nullptr);
    const std::string forced = lineOf("1");
    const std::string forcedPath =
        ", Vulkan 1.2 path (VK_KHR_dynamic_rendering, VK_KHR_synchronization2), no presentation\n";
    ASSERT_GT(forced.size(), forcedPath.size());
    EXPECT_EQ(forced.substr(forced.size() - forcedPath.size()), forcedPath) << forced;
    const std::string adapter = forced.substr(0, forced.size() - forcedPath.size());
    EXPECT_EQ(adapter.rfind("vulkan: ", 0), 0u) << forced;
    // The same adapter unforced: the 1.3 path where it has Vulkan 1.3, else the same 1.2 path.
    EXPECT_TRUE(usual == adapter + ", Vulkan 1.3 path, no presentation\n" || usual == forced) << usual;
}

// The fixtures' guard: a device of a renderer other than the one MIRELANDT_GPU names fails the run, and a
// name that is no renderer fails it too.
TEST(DeviceChoice, TheFixturesHoldTheDeviceToTheRendererAsked) {
    const struct {
        const char* variable;
        gpu::Renderer renderer;
        bool passes;
    } rows[] = {
        {nullptr, gpu::Renderer::Vulkan, true},     {nullptr, gpu::Renderer::Direct3D11, true},
        {"vulkan", gpu::Renderer::Vulkan, true},    {"vulkan", gpu::Renderer::Direct3D11, false},
        {"d3d11", gpu::Renderer::Direct3D11, true}, {"d3d11", gpu::Renderer::Vulkan, false},
        {"opengl", gpu::Renderer::Vulkan, false},   {"Vulkan", gpu::Renderer::Vulkan, false},
    };
    for (const auto& row : rows) {
        ScopedVariable asked("MIRELANDT_GPU", row.variable);
        EXPECT_EQ(bool(rendersAsAsked(row.renderer)), row.passes)
            << (row.variable ? row.variable : "unset") << " " << gpu::RendererName(row.renderer);
        EXPECT_EQ(anotherRendererAsked(), row.variable && std::string(row.variable) == "d3d11")
            << (row.variable ? row.variable : "unset");
    }
}

using Refusals = GpuTest;

TEST_F(Refusals, DamagedOrMismatchedBytecodeMakesNoShader) {
    const ShaderProgram& ps = program("mirror_ps");
    EXPECT_FALSE(device->CreatePixelShader(ps.bytecode, ps.size - 4));
    EXPECT_FALSE(device->CreatePixelShader(nullptr, 0));
    const std::vector<uint32_t> garbage(64, 0xDEADBEEF);
    EXPECT_FALSE(device->CreatePixelShader(garbage.data(), garbage.size() * 4));
    const ShaderProgram& vs = program("fullscreen_vs");
    EXPECT_FALSE(device->CreatePixelShader(vs.bytecode, vs.size)) << "a vertex program is no pixel program";
    EXPECT_NE(device->GetLastError(), "");
    EXPECT_TRUE(device->CreatePixelShader(ps.bytecode, ps.size));
}

TEST_F(Refusals, ImpossibleResourcesAndViewsAreNull) {
    gpu::BufferDesc empty;
    empty.BindFlags = gpu::BIND_SHADER_RESOURCE;
    EXPECT_FALSE(device->CreateBuffer(empty, nullptr)) << "a buffer of no elements";

    gpu::BufferDesc desc;
    desc.ByteWidth = 64;
    desc.BindFlags = gpu::BIND_SHADER_RESOURCE;
    desc.MiscFlags = gpu::RESOURCE_MISC_BUFFER_STRUCTURED;
    desc.StructureByteStride = 16;
    auto buffer = device->CreateBuffer(desc, nullptr);
    ASSERT_TRUE(buffer);
    gpu::ShaderResourceViewDesc beyond;
    beyond.ViewDimension = gpu::ViewDimension::Buffer;
    beyond.FirstElement = 2;
    beyond.NumElements = 3;
    EXPECT_FALSE(device->CreateShaderResourceView(buffer.get(), &beyond)) << "elements past the end";
    EXPECT_FALSE(device->CreateUnorderedAccessView(buffer.get(), nullptr)) << "no unordered-access binding";

    gpu::Texture2DDesc depthDesc;
    depthDesc.Width = depthDesc.Height = 4;
    depthDesc.Format = gpu::Format::D32_FLOAT;
    depthDesc.BindFlags = gpu::BIND_DEPTH_STENCIL;
    auto depth = device->CreateTexture2D(depthDesc, nullptr);
    ASSERT_TRUE(depth);
    EXPECT_TRUE(device->CreateDepthStencilView(depth.get(), nullptr));
    EXPECT_FALSE(device->CreateShaderResourceView(depth.get(), nullptr))
        << "a depth texture has only its DSV";
    EXPECT_FALSE(device->CreateRenderTargetView(depth.get(), nullptr));

    gpu::Texture2DDesc zero;
    zero.Format = gpu::Format::R8G8B8A8_UNORM;
    zero.BindFlags = gpu::BIND_SHADER_RESOURCE;
    EXPECT_FALSE(device->CreateTexture2D(zero, nullptr)) << "a texture of width 0";
}

TEST_F(Refusals, DrawsWithoutTargetsOrViewportAndReadsIntoTooLittleMemoryDoNothing) {
    auto vs = vertexShader("fullscreen_vs");
    auto ps = pixelShader("uv_ps");
    context->VSSetShader(vs.get());
    context->PSSetShader(ps.get());
    context->IASetPrimitiveTopology(gpu::PrimitiveTopology::TRIANGLELIST);
    context->DrawInstanced(3, 1, 0, 0); // no viewport, no target
    Target target = renderTarget(4, 4);
    gpu::RenderTargetView* views[] = {target.view.get()};
    context->OMSetRenderTargets(1, views, nullptr);
    context->DrawInstanced(3, 1, 0, 0); // still no viewport
    context->Dispatch(1, 1, 1);         // no compute program
    std::vector<Float4> small(15);
    EXPECT_FALSE(context->ReadBack(target.texture.get(), 0, small.data(), small.size() * sizeof(Float4), 0));
    EXPECT_FALSE(context->ReadBack(target.texture.get(), 1, small.data(), small.size() * sizeof(Float4), 0));
}
