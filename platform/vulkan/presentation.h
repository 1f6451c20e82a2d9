// Presentation to a window surface: FIFO with vertical sync, else MAILBOX or IMMEDIATE where offered.
// Buffers of another size than the window's are scaled to it at present, their shape kept, with black bands.
#pragma once

#include "platform/vulkan/context.h"

#include <chrono>
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
    bool HasArea() override;

    // The image drawn this frame, acquired on first use; null when none can be had.
    TextureImage* currentImage();

  private:
    // The surface's capabilities, with no area while the test setting says the window is minimised.
    VkSurfaceCapabilitiesKHR surfaceCapabilities();
    bool createSwapchain();
    VkPresentModeKHR choosePresentMode() const;
    void destroyImages();
    // Acquires the next image of the swap chain and moves it to GENERAL layout, its contents discarded.
    TextureImage* acquireImage();
    // Records the scaled copy of the canvas into `image`, which is cleared to black around it.
    void scaleCanvasInto(TextureImage& image);

    Ref<ContextImpl> context_;
    DeviceCore& core_;
    VkSurfaceKHR surface_;
    VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
    SwapChainDesc desc_;
    VkFormat format_ = VK_FORMAT_UNDEFINED;
    VkPresentModeKHR presentMode_ = VK_PRESENT_MODE_FIFO_KHR;
    std::vector<std::unique_ptr<TextureImage>> images_;
    VkExtent2D extent_{}; // the size of the swap chain's images: the window's
    // Buffer 0 when its size is not the window's.
    std::unique_ptr<TextureImage> canvas_;
    std::vector<VkSemaphore> renderDone_;
    // Acquisition semaphores are reused in a ring longer than the work the CPU may queue.
    static constexpr uint32_t kAcquireRing = 8;
    VkSemaphore acquired_[kAcquireRing] = {};
    uint32_t acquireCount_ = 0;
    uint32_t current_ = 0;
    bool holdsImage_ = false;
    bool outOfDate_ = false;
    // MIRELANDT_TEST_NO_AREA=FROM,TO (seconds after the swap chain was made): the surface reports no area
    // in that span, as a minimised window's does on Windows. A setting for the tests only.
    std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
    double noAreaFrom_ = -1.0, noAreaTo_ = -1.0;
};

} // namespace gpu::vulkan
