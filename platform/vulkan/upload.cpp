#include "platform/vulkan/upload.h"

#include "platform/vulkan/formats.h"

#include <cstring>

namespace gpu::vulkan {

bool copyToBuffer(DeviceCore& core, VkCommandBuffer commands, VkBuffer buffer, VkDeviceSize offset,
                  const void* data, VkDeviceSize size) {
    // Small aligned updates travel inside the command buffer and need no staging memory.
    if (size <= 65536 && size % 4 == 0 && offset % 4 == 0) {
        vkCmdUpdateBuffer(commands, buffer, offset, size, data);
        return true;
    }
    const UploadSpan span = core.stage(size);
    if (!span.mapped) return false;
    std::memcpy(span.mapped, data, size);
    const VkBufferCopy region{span.offset, offset, size};
    vkCmdCopyBuffer(commands, span.buffer, buffer, 1, &region);
    return true;
}

bool copyToImage(DeviceCore& core, VkCommandBuffer commands, TextureImage& image, uint32_t mip,
                 const Box& box, const void* data, uint32_t rowPitch, uint32_t depthPitch) {
    const uint32_t texel = texelSize(image.format);
    const uint32_t width = box.right - box.left, height = box.bottom - box.top, depth = box.back - box.front;
    const size_t rowBytes = size_t(width) * texel;
    if (rowPitch == 0) rowPitch = uint32_t(rowBytes);
    if (depthPitch == 0) depthPitch = rowPitch * height;
    const UploadSpan span = core.stage(VkDeviceSize(rowBytes) * height * depth, 16);
    if (!span.mapped) return false;
    const auto* source = static_cast<const uint8_t*>(data);
    for (uint32_t z = 0; z < depth; ++z) {
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(span.mapped + (size_t(z) * height + y) * rowBytes,
                        source + size_t(z) * depthPitch + size_t(y) * rowPitch, rowBytes);
    }
    VkBufferImageCopy region{};
    region.bufferOffset = span.offset;
    region.imageSubresource = {image.aspect & VK_IMAGE_ASPECT_COLOR_BIT ? VK_IMAGE_ASPECT_COLOR_BIT
                                                                        : VK_IMAGE_ASPECT_DEPTH_BIT,
                               mip, 0, 1};
    region.imageOffset = {int32_t(box.left), int32_t(box.top), int32_t(box.front)};
    region.imageExtent = {width, height, depth};
    vkCmdCopyBufferToImage(commands, span.buffer, image.image, VK_IMAGE_LAYOUT_GENERAL, 1, &region);
    return true;
}

} // namespace gpu::vulkan
