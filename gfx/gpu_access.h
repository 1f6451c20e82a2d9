// The device and immediate context that installFrameContext made current; null before installation.
#pragma once

#include "gfx/frame_context.h"
#include "platform/gpu.h"

namespace Orvo::Gfx {

inline gpu::Device* currentDevice() {
    return currentFrameContext.device;
}
inline gpu::DeviceContext* currentContext() {
    return currentFrameContext.immediateContext;
}

} // namespace Orvo::Gfx
