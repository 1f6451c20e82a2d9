// Presentation surfaces made from a window's native handles, one kind per window system.
#pragma once

#include "platform/vulkan/loader.h"
#include "platform/window.h"

#include <string>
#include <vector>

namespace gpu::vulkan {

// The instance extensions that surfaces of this window system need; empty when this build cannot
// present to it.
std::vector<const char*> surfaceExtensions(window::WindowSystem system);

// A surface for the window on an instance made with its surfaceExtensions(); VK_NULL_HANDLE with a
// one-line reason when it cannot be made.
VkSurfaceKHR createSurface(VkInstance instance, const window::NativeWindow& window, std::string* error);

} // namespace gpu::vulkan
