// The window, the graphics device and the swap chain whose back buffer the output pass draws into.
#pragma once

#include "platform/gpu.h"
#include "platform/window.h"

#include <string>

namespace app {

struct Display {
    gpu::Ref<gpu::Device> device;
    gpu::Ref<gpu::DeviceContext> immediateContext;
    gpu::Ref<gpu::SwapChain> swapChain;
    gpu::Ref<gpu::RenderTargetView> backBufferView;
    window::NativeWindow window;
};

// The window as placed, the device `device` asks for (its renderer and present model; its window is this
// one) and a two-buffer RGBA8 swap chain of `picture`'s size (scaled to the window when that differs from
// the window's) presenting on the display's refresh (or without waiting for it when `vsync` is false), and
// the render-target view of buffer 0. False with a one-line reason when any of them cannot be had: the
// intro has nothing to show without them.
bool setupDisplay(Display& display, const window::WindowPlacement& placement, window::ScreenSize picture,
                  bool vsync, gpu::DeviceOptions device, std::string* error);

// False while the window is minimised, by the window system's word or its surface's: there is nothing to
// draw into or show then.
bool displayHasArea(Display& display);

// Shows the frame drawn into the back buffer, waiting for the display's refresh when set up with vsync.
// False with a one-line reason when the window or the device is gone.
bool presentDisplay(Display& display, std::string* error);

} // namespace app
