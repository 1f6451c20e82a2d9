// Which renderer makes the device, and the information line every backend prints on request.
#pragma once

#include "platform/gpu.h"

#include <optional>
#include <string>

namespace gpu {

// True when MIRELANDT_GPU_INFO=1 (or the older MIRELANDT_VULKAN_INFO=1): the backend then prints one line on
// stderr naming its renderer, adapter and presentation.
bool GpuInfoRequested();

// The renderer the options ask for, else MIRELANDT_GPU's; unset when neither names one. False with one line
// in *error when MIRELANDT_GPU names no renderer.
bool AskedRenderer(const DeviceOptions& options, std::optional<Renderer>* renderer, std::string* error);

} // namespace gpu
