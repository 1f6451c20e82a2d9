// The device on Direct3D 11 and DXGI (Windows only).
#pragma once

#include "platform/gpu.h"

#include <string>

namespace gpu::d3d11 {

// Makes the device at feature level 11_0 or above on the adapter of the options' window's monitor (the
// default adapter without a window), else on WARP with one line on stderr saying so. False with one line in
// *error when Direct3D 11 cannot start at all. With MIRELANDT_GPU_INFO=1 one line on stderr names the
// adapter, the feature level, WARP or hardware and the present model.
bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error);

} // namespace gpu::d3d11
