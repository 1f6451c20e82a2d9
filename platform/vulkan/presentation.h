// Presentation to a window surface through a FIFO swap chain.
#pragma once

#include "platform/vulkan/context.h"

#include <memory>

namespace gpu::vulkan {

class SwapChainImpl final : public SwapChain {
  public:
    SwapChainImpl(Ref<ContextImpl> context, VkSurfaceKHR surface, const SwapChainDesc& desc);
    ~SwapChainImpl() override;
    // False (with the reason in lastError) when the surface cannot be presented to.
    bool create();

    SwapChainDesc GetDesc() const override { return desc_; }
    Ref<Texture2D> GetBuffer(uint32_t index) override;
    bool Present(uint32_t syncInterval, uint32_t flags) override;

    // The image drawn this frame, acquired on first use; null when none can be had.
    TextureImage* currentImage();

  private:
    bool createSwapchain();
    void destroyImages();

    Ref<ContextImpl> context_;
    DeviceCore& core_;
    VkSurfaceKHR surface_;
    VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
    SwapChainDesc desc_;
    VkFormat format_ = VK_FORMAT_UNDEFINED;
    std::vector<std::unique_ptr<TextureImage>> images_;
    std::vector<VkSemaphore> renderDone_;
    // Acquisition semaphores are reused in a ring longer than the work the CPU may queue.
    static constexpr uint32_t ACQUIRE_RING = 8;
    VkSemaphore acquired_[ACQUIRE_RING] = {};
    uint32_t acquireCount_ = 0;
    uint32_t current_ = 0;
    bool holdsImage_ = false;
    bool outOfDate_ = false;
};

} // namespace gpu::vulkan
