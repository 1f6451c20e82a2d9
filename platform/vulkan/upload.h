// Copies from CPU memory into buffers and images through the batch's staging memory.
#pragma once

#include "platform/vulkan/resources.h"

namespace gpu::vulkan {

// False when no staging memory was left (the reason is in core.lastError).
bool copyToBuffer(DeviceCore& core, VkCommandBuffer commands, VkBuffer buffer, VkDeviceSize offset,
                  const void* data, VkDeviceSize size);
// Rows of rowPitch bytes (0 = tightly packed), slices depthPitch apart (0 = tightly packed).
bool copyToImage(DeviceCore& core, VkCommandBuffer commands, TextureImage& image, uint32_t mip,
                 const Box& box, const void* data, uint32_t rowPitch, uint32_t depthPitch);

} // namespace gpu::vulkan
