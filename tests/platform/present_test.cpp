// The intro's window and its swap chain: frames cleared and drawn into buffer 0, read back and
// presented. Needs a display (the test command gives it one of its own).
#include "platform/window.h"
#include "tests/platform/gpu_fixture.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

class Presentation : public ::testing::Test {
  protected:
    // One window for the whole suite: like the intro's, it lives until the process ends.
    static void SetUpTestSuite() {
        window::WindowPlacement placement;
        ready = window::readDisplaySize(0, &placement.size, &why) &&
                window::createIntroWindow(placement, &native, &why);
        screen = placement.size;
    }

    void SetUp() override {
        if (!ready) GTEST_SKIP() << why;
        gpu::DeviceOptions options = validatedOptions(&messages);
        options.window = native;
        std::string error;
        ASSERT_TRUE(gpu::CreateDevice(options, &device, &context, &error)) << error;
        ASSERT_TRUE(rendersAsAsked(device->GetRenderer()));
    }
    void TearDown() override {
        swapChain.reset();
        context.reset();
        device.reset();
        for (const std::string& message : messages) ADD_FAILURE() << "validation: " << message;
    }

    static inline bool ready = false;
    static inline std::string why;
    static inline window::ScreenSize screen;
    static inline window::NativeWindow native;
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> context;
    gpu::Ref<gpu::SwapChain> swapChain;
    std::vector<std::string> messages;
};

} // namespace

TEST_F(Presentation, BufferZeroIsTheScreenSizedImageOfEachFrame) {
    const uint32_t width = uint32_t(screen.width), height = uint32_t(screen.height);
    gpu::SwapChainDesc desc;
    desc.Width = width;
    desc.Height = height;
    swapChain = device->CreateSwapChainForWindow(native, desc);
    ASSERT_TRUE(swapChain) << device->GetLastError();
    EXPECT_EQ(swapChain->GetDesc().Width, width);
    EXPECT_EQ(swapChain->GetDesc().Height, height);
    auto backBuffer = swapChain->GetBuffer(0);
    ASSERT_TRUE(backBuffer);
    EXPECT_FALSE(swapChain->GetBuffer(1)) << "only buffer 0 is drawn into";
    // Made once and kept, as the output pass keeps it: it must follow the frames.
    auto view = device->CreateRenderTargetView(backBuffer.get(), nullptr);
    ASSERT_TRUE(view) << device->GetLastError();
    const bool bgra = swapChain->GetDesc().Format == gpu::Format::B8G8R8A8_UNORM;
    for (int frame = 0; frame < 5; ++frame) {
        bool escape = false;
        EXPECT_FALSE(window::pumpMessages(&escape));
        const float colour[4] = {frame / 4.0f, 0.5f, 1.0f - frame / 4.0f, 1.0f};
        context->ClearRenderTargetView(view.get(), colour);
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        ASSERT_TRUE(context->ReadBack(backBuffer.get(), 0, pixels.data(), pixels.size(), 0));
        const size_t last = pixels.size() - 4;
        for (size_t at : {size_t(0), last}) {
            EXPECT_NEAR(pixels[at + (bgra ? 2 : 0)], colour[0] * 255, 1) << frame;
            EXPECT_NEAR(pixels[at + (bgra ? 0 : 2)], colour[2] * 255, 1) << frame;
        }
        EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();
    }
}

TEST_F(Presentation, ADeviceWithoutAWindowRefusesSwapChains) {
    gpu::Ref<gpu::Device> headless;
    gpu::Ref<gpu::DeviceContext> headlessContext;
    std::string error;
    ASSERT_TRUE(gpu::CreateDevice({}, &headless, &headlessContext, &error)) << error;
    EXPECT_FALSE(headless->CreateSwapChainForWindow(native, {}));
    EXPECT_NE(headless->GetLastError().find("without a window"), std::string::npos)
        << headless->GetLastError();
}

// A minimised window's surface has no area (the test setting makes it so from 0.5 to 1.5 s after the swap
// chain is made): buffer 0 then has no image, every call that takes it does nothing or fails with its
// reason instead of crashing, a present succeeds without showing anything, and the frames after it
// draw and show again.
TEST_F(Presentation, AWindowWithoutAreaDrawsNothingAndComesBack) {
    ScopedVariable span("MIRELANDT_TEST_NO_AREA", "0.5,1.5");
    gpu::SwapChainDesc desc;
    desc.Width = uint32_t(screen.width);
    desc.Height = uint32_t(screen.height);
    swapChain = device->CreateSwapChainForWindow(native, desc);
    ASSERT_TRUE(swapChain) << device->GetLastError();
    auto backBuffer = swapChain->GetBuffer(0);
    auto view = device->CreateRenderTargetView(backBuffer.get(), nullptr);
    ASSERT_TRUE(view) << device->GetLastError();
    const auto made = std::chrono::steady_clock::now();
    const auto waitUntil = [&](double seconds) {
        std::this_thread::sleep_until(made + std::chrono::duration<double>(seconds));
    };
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    std::vector<uint8_t> pixels(size_t(desc.Width) * desc.Height * 4);
    EXPECT_TRUE(swapChain->HasArea());
    EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();

    waitUntil(0.6);
    ASSERT_FALSE(swapChain->HasArea());
    context->ClearRenderTargetView(view.get(), grey);
    EXPECT_FALSE(context->ReadBack(backBuffer.get(), 0, pixels.data(), pixels.size(), 0));
    EXPECT_FALSE(device->CreateRenderTargetView(backBuffer.get(), nullptr));
    EXPECT_NE(device->GetLastError().find("no area"), std::string::npos) << device->GetLastError();
    EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();

    waitUntil(1.6);
    ASSERT_TRUE(swapChain->HasArea());
    for (int frame = 0; frame < 2; ++frame) {
        context->ClearRenderTargetView(view.get(), grey);
        ASSERT_TRUE(context->ReadBack(backBuffer.get(), 0, pixels.data(), pixels.size(), 0))
            << device->GetLastError();
        EXPECT_NEAR(pixels[1], 128, 1);
        EXPECT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();
    }
}

#ifndef _WIN32
// The X screen as RGB bytes, read by ffmpeg's screen grabber; empty when it cannot be read.
std::vector<uint8_t> grabScreen(window::ScreenSize screen) {
    const std::string command = "ffmpeg -loglevel error -f x11grab -video_size " +
                                std::to_string(screen.width) + "x" + std::to_string(screen.height) +
                                " -i \"$DISPLAY\" -frames:v 1 -f rawvideo " + "-pix_fmt rgb24 - 2>/dev/null";
    std::vector<uint8_t> pixels(size_t(screen.width) * size_t(screen.height) * 3);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    const size_t read = std::fread(pixels.data(), 1, pixels.size(), pipe);
    return pclose(pipe) == 0 && read == pixels.size() ? pixels : std::vector<uint8_t>{};
}

// A square swap chain on the wider screen: buffer 0 keeps the size asked for, and each presented frame fills
// the screen's height, centred, with black bands at the sides, as on the X screen.
TEST_F(Presentation, BuffersOfAnotherSizeAreScaledToTheWindowWithTheirShapeKept) {
    const uint32_t side = uint32_t(screen.height) / 2;
    gpu::SwapChainDesc desc;
    desc.Width = desc.Height = side;
    swapChain = device->CreateSwapChainForWindow(native, desc);
    ASSERT_TRUE(swapChain) << device->GetLastError();
    EXPECT_EQ(swapChain->GetDesc().Width, side);
    EXPECT_EQ(swapChain->GetDesc().Height, side);
    auto backBuffer = swapChain->GetBuffer(0);
    auto view = device->CreateRenderTargetView(backBuffer.get(), nullptr);
    ASSERT_TRUE(view) << device->GetLastError();
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    std::vector<uint8_t> buffer(size_t(side) * side * 4);
    for (int frame = 0; frame < 3; ++frame) {
        context->ClearRenderTargetView(view.get(), colour);
        ASSERT_TRUE(context->ReadBack(backBuffer.get(), 0, buffer.data(), buffer.size(), 0))
            << device->GetLastError();
        EXPECT_NEAR(buffer[buffer.size() - 3], 128, 1);
        ASSERT_TRUE(swapChain->Present(1, 0)) << device->GetLastError();
    }
    context->Flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<uint8_t> shown = grabScreen(screen);
    ASSERT_FALSE(shown.empty()) << "ffmpeg could not read the screen";
    const int picture = screen.height, band = (screen.width - picture) / 2;
    const auto green = [&](int x, int y) {
        return int(shown[(size_t(y) * size_t(screen.width) + size_t(x)) * 3 + 1]);
    };
    for (int y : {0, screen.height / 2, screen.height - 1}) {
        for (int x : {0, band - 1, screen.width - band, screen.width - 1})
            EXPECT_EQ(green(x, y), 0) << x << "," << y;
        for (int x : {band, screen.width / 2, screen.width - band - 1})
            EXPECT_NEAR(green(x, y), 128, 1) << x << "," << y;
    }
}
#endif
