// Presentation to a window surface: FIFO with vertical sync, else MAILBOX or IMMEDIATE where offered.
// Buffers of another size than the window's are scaled to it at present, their shape kept, with black bands.
#pragma once

#include "platform/no_area_setting.h"
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
    bool HasArea() override;

    // The image drawn this frame, acquired on first use; null when none can be had.
    TextureImage* currentImage();

  private:
    // The surface's capabilities, with no area while the test setting says the window is minimised.
    VkSurfaceCapabilitiesKHR surfaceCapabilities();
    // (Re)creates the swap chain for the surface as it is now; false, with the reason in lastError, when
    // it cannot be presented to.
    bool createSwapchain();
    // The steps of createSwapchain, in order.
    // The desc's format, else the other 8-bit channel order, as the surface offers it.
    bool chooseFormat();
    // The surface's size, or the desc's within the surface's limits; false when it has no area.
    bool chooseExtent(const VkSurfaceCapabilitiesKHR& caps, VkExtent2D* extent) const;
    // A canvas of the desc's size when the images' size differs from it; none otherwise.
    bool prepareCanvas(const VkSurfaceCapabilitiesKHR& caps, VkExtent2D extent);
    // Creates the swap chain of extent_ in place of the old one, whose images go.
    bool replaceSwapchain(const VkSurfaceCapabilitiesKHR& caps);
    // Takes the new swap chain's images, each with its render-done semaphore.
    void wrapImages();
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
    NoAreaSetting noArea_;
};

} // namespace gpu::vulkan
