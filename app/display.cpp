#include "app/display.h"

namespace app {

bool setupDisplay(Display& display, const window::WindowPlacement& placement, window::ScreenSize picture,
                  bool vsync, gpu::DeviceOptions device, std::string* error) {
    if (!window::createIntroWindow(placement, &display.window, error)) return false;

    device.window = display.window;
    if (!gpu::CreateDevice(device, &display.device, &display.immediateContext, error)) return false;

    gpu::SwapChainDesc desc;
    desc.Width = uint32_t(picture.width);
    desc.Height = uint32_t(picture.height);
    desc.Format = gpu::Format::R8G8B8A8_UNORM;
    desc.BufferCount = 2;
    desc.VSync = vsync;
    display.swapChain = display.device->CreateSwapChainForWindow(display.window, desc);
    if (!display.swapChain) {
        *error = "cannot create the swap chain: " + display.device->GetLastError();
        return false;
    }
    gpu::Ref<gpu::Texture2D> backBuffer = display.swapChain->GetBuffer(0);
    display.backBufferView = display.device->CreateRenderTargetView(backBuffer.get(), nullptr);
    if (!display.backBufferView) {
        *error = "cannot view the back buffer: " + display.device->GetLastError();
        return false;
    }
    return true;
}

bool displayHasArea(Display& display) {
    return window::windowHasArea() && display.swapChain->HasArea();
}

bool presentDisplay(Display& display, std::string* error) {
    if (display.swapChain->Present(1, 0)) return true;
    *error = "cannot present the frame: " + display.device->GetLastError();
    return false;
}

} // namespace app
