// The --gpu option, read alike by the intro and the capture tool: the renderer the device is made with.
#pragma once

#include "platform/gpu.h"

namespace show {

// What --gpu takes in this build, for the line that refuses a value: Direct3D 11 only where there is one.
#ifdef _WIN32
inline constexpr const char* kGpuOptionTakes = "d3d11 or vulkan";
#else
inline constexpr const char* kGpuOptionTakes = "vulkan, the one renderer outside Windows";
#endif

// False when `value` names no renderer this build can start.
bool parseGpuOption(const char* value, gpu::Renderer* renderer);

} // namespace show
