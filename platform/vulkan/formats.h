// Translation of the interface's formats and state enums into Vulkan terms.
#pragma once

#include "platform/gpu.h"

#include "platform/vulkan/loader.h"

namespace gpu::vulkan {

VkFormat toVkFormat(Format format);
// The format that is stored when the device lacks the requested depth format.
VkFormat depthFallback(VkFormat format);
VkImageAspectFlags aspectOf(VkFormat format);
// Bytes per texel as copies between buffers and images count them (depth aspect only for depth).
uint32_t texelSize(VkFormat format);
VkBlendFactor toVkBlendFactor(Blend blend);
VkBlendOp toVkBlendOp(BlendOp op);
VkCompareOp toVkCompareOp(ComparisonFunc func);
VkSamplerAddressMode toVkAddressMode(TextureAddressMode mode);
VkPrimitiveTopology toVkTopology(PrimitiveTopology topology);

} // namespace gpu::vulkan
