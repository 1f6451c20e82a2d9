// A window's swap chain: frames cleared and drawn into buffer 0, read back and presented. Needs
// an X display (the test command runs it under Xvfb).
#include "gpu_fixture.h"

#include <SDL2/SDL.h>

namespace {

class Presentation : public ::testing::Test {
  protected:
    void SetUp() override {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "no display: " << SDL_GetError();
        window = SDL_CreateWindow("Mirelandt", 0, 0, 64, 48, SDL_WINDOW_VULKAN | SDL_WINDOW_BORDERLESS);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        gpu::DeviceOptions options;
        options.window = window;
        options.debugLayer = true;
        options.debugMessage = [](void* user, const char* message) {
            static_cast<std::vector<std::string>*>(user)->push_back(message);
        };
        options.debugMessageUser = &messages;
        std::string error;
        ASSERT_TRUE(gpu::CreateDevice(options, &device, &context, &error)) << error;
    }
    void TearDown() override {
        swapChain.reset();
        context.reset();
        device.reset();
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
        for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
    }

    SDL_Window* window = nullptr;
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    gpu::Ref<gpu::SwapChain> swapChain;
    std::vector<std::string> messages;
};

} // namespace

TEST_F(Presentation, BufferZeroIsTheWindowSizedImageOfEachFrame) {
    gpu::SwapChainDesc desc;
    desc.Width = 64;
    desc.Height = 48;
    swapChain = device->CreateSwapChainForWindow(window, desc);
    ASSERT_TRUE(swapChain) << device->GetLastError();
    EXPECT_EQ(swapChain->GetDesc().Width, 64u);
    EXPECT_EQ(swapChain->GetDesc().Height, 48u);
    auto backBuffer = swapChain->GetBuffer(0);
    ASSERT_TRUE(backBuffer);
    EXPECT_FALSE(swapChain->GetBuffer(1)) << "only buffer 0 is drawn into";
    // Made once and kept, as the output pass keeps it: it must follow the frames.
    auto view = device->CreateRenderTargetView(backBuffer.get(), nullptr);
    ASSERT_TRUE(view) << device->GetLastError();
    const bool bgra = swapChain->GetDesc().Format == gpu::Format::B8G8R8A8_UNORM;
    for (int frame = 0; frame < 5; ++frame) {
        const float colour[4] = {frame / 4.0f, 0.5f, 1.0f - frame / 4.0f, 1.0f};
        context->ClearRenderTargetView(view.get(), colour);
        std::vector<uint8_t> pixels(64 * 48 * 4);
        ASSERT_TRUE(context->ReadBack(backBuffer.get(), 0, pixels.data(), pixels.size(), 0));
        const int red = pixels[bgra ? 2 : 0], blue = pixels[bgra ? 0 : 2];
        EXPECT_NEAR(red, colour[0] * 255, 1) << frame;
        EXPECT_NEAR(blue, colour[2] * 255, 1) << frame;
        EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();
    }
}

TEST_F(Presentation, ADeviceWithoutAWindowRefusesSwapChains) {
    gpu::Ref<gpu::Device> headless;
    gpu::Ref<gpu::DeviceContext> headlessContext;
    std::string error;
    ASSERT_TRUE(gpu::CreateDevice({}, &headless, &headlessContext, &error)) << error;
    EXPECT_FALSE(headless->CreateSwapChainForWindow(window, {}));
    EXPECT_NE(headless->GetLastError().find("without a window"), std::string::npos)
        << headless->GetLastError();
}
