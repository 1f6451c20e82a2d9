// Presentation on DXGI: a flip-model swap chain of the window (flip-discard), or with --present composition a
// composition swap chain shown through a DirectComposition visual. A picture of another shape than the
// window's is drawn into a canvas of its own size and copied, between black bands, into buffers of the
// window's shape, which DXGI scales to the window; so the shape is kept as on Vulkan.
#pragma once

#include "platform/d3d11/context.h"

namespace gpu::d3d11 {

// Null, with the reason in the device's lastError, when the window cannot be presented to.
Ref<SwapChain> CreateSwapChain(const Ref<ContextImpl>& context, HWND window, const SwapChainDesc& desc);

} // namespace gpu::d3d11
