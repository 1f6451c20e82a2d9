#include "platform/vulkan/presentation.h"

#include "platform/device_choice.h"

#include "platform/vulkan/device_impl.h"
#include "platform/vulkan/surface.h"

#include <algorithm>
#include <cstdio>

namespace gpu::vulkan {

namespace {

// Buffer 0 of the swap chain: whichever image is being drawn this frame.
class BackBuffer final : public Texture2D, public TextureBase {
  public:
    explicit BackBuffer(Ref<SwapChainImpl> swapChain) : swapChain_(std::move(swapChain)) {}
    ResourceDimension GetDimension() const override { return ResourceDimension::Texture2D; }
    Texture2DDesc GetDesc() const override {
        const SwapChainDesc d = swapChain_->GetDesc();
        return {d.Width, d.Height, 1, d.Format, BIND_RENDER_TARGET, 0};
    }
    TextureImage* image() override { return swapChain_->currentImage(); }
    Format format() const override { return swapChain_->GetDesc().Format; }
    ViewDimension viewDimension() const override { return ViewDimension::Texture2D; }

  private:
    Ref<SwapChainImpl> swapChain_;
};

void imageBarrier(const DeviceCore& core, VkCommandBuffer commands, VkImage image, VkImageLayout from,
                  VkImageLayout to) {
    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = barrier.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.oldLayout = from;
    barrier.newLayout = to;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    core.vk.cmdPipelineBarrier2(commands, &dependency);
}

const char* presentModeName(VkPresentModeKHR mode) {
    switch (mode) {
    case VK_PRESENT_MODE_IMMEDIATE_KHR:
        return "IMMEDIATE";
    case VK_PRESENT_MODE_MAILBOX_KHR:
        return "MAILBOX";
    case VK_PRESENT_MODE_FIFO_KHR:
        return "FIFO";
    default:
        return "other";
    }
}

// Where a picture of `from` lands in an image of `to`: as large as fits with its shape kept, centred.
VkOffset3D fittedEnd(VkExtent2D from, VkExtent2D to, VkOffset3D* start) {
    const bool widthBound = uint64_t(from.width) * to.height >= uint64_t(from.height) * to.width;
    const auto width = int32_t(widthBound ? to.width : uint64_t(from.width) * to.height / from.height);
    const auto height = int32_t(widthBound ? uint64_t(from.height) * to.width / from.width : to.height);
    *start = {(int32_t(to.width) - width) / 2, (int32_t(to.height) - height) / 2, 0};
    return {start->x + std::max(width, 1), start->y + std::max(height, 1), 1};
}

} // namespace

SwapChainImpl::SwapChainImpl(Ref<ContextImpl> context, VkSurfaceKHR surface, const SwapChainDesc& desc)
    : context_(std::move(context)), core_(context_->core()), surface_(surface), desc_(desc) {}

SwapChainImpl::~SwapChainImpl() {
    core_.waitIdle();
    vkDeviceWaitIdle(core_.device);
    destroyImages();
    for (VkSemaphore s : acquired_) vkDestroySemaphore(core_.device, s, nullptr);
    for (VkSemaphore s : renderDone_) vkDestroySemaphore(core_.device, s, nullptr);
    if (swapchain_) vkDestroySwapchainKHR(core_.device, swapchain_, nullptr);
    vkDestroySurfaceKHR(core_.instance, surface_, nullptr);
}

void SwapChainImpl::destroyImages() {
    images_.clear();
    for (VkSemaphore s : renderDone_) core_.retire(VK_OBJECT_TYPE_SEMAPHORE, s);
    renderDone_.clear();
}

bool SwapChainImpl::create() {
    VkBool32 supported = VK_FALSE;
    vkGetPhysicalDeviceSurfaceSupportKHR(core_.physicalDevice, core_.queueFamily, surface_, &supported);
    if (!supported) {
        core_.lastError = "the Vulkan device cannot present to this window";
        return false;
    }
    const VkSemaphoreCreateInfo info{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    for (VkSemaphore& s : acquired_) vkCreateSemaphore(core_.device, &info, nullptr, &s);
    if (!createSwapchain()) return false;
    if (GpuInfoRequested())
        std::fprintf(stderr, "vulkan: %s, %s, present mode %s\n", core_.adapterName.c_str(),
                     core_.pathName().c_str(), presentModeName(presentMode_));
    return true;
}

VkPresentModeKHR SwapChainImpl::choosePresentMode() const {
    // FIFO waits for the display's refresh, Direct3D's sync interval 1, and is always there.
    if (desc_.VSync) return VK_PRESENT_MODE_FIFO_KHR;
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfacePresentModesKHR(core_.physicalDevice, surface_, &count, nullptr);
    std::vector<VkPresentModeKHR> modes(count);
    vkGetPhysicalDeviceSurfacePresentModesKHR(core_.physicalDevice, surface_, &count, modes.data());
    // Without vertical sync: the newest frame replaces a waiting one (no tearing), else frames show at
    // once (tearing).
    for (VkPresentModeKHR wanted : {VK_PRESENT_MODE_MAILBOX_KHR, VK_PRESENT_MODE_IMMEDIATE_KHR})
        if (std::find(modes.begin(), modes.end(), wanted) != modes.end()) return wanted;
    return VK_PRESENT_MODE_FIFO_KHR;
}

VkSurfaceCapabilitiesKHR SwapChainImpl::surfaceCapabilities() {
    VkSurfaceCapabilitiesKHR caps;
    vkGetPhysicalDeviceSurfaceCapabilitiesKHR(core_.physicalDevice, surface_, &caps);
    if (noArea_.active()) caps.currentExtent = {0, 0};
    return caps;
}

bool SwapChainImpl::HasArea() {
    // A surface whose size the swap chain chooses (UINT32_MAX) always has area.
    const VkExtent2D extent = surfaceCapabilities().currentExtent;
    return extent.width != 0 && extent.height != 0;
}

bool SwapChainImpl::createSwapchain() {
    const VkSurfaceCapabilitiesKHR caps = surfaceCapabilities();
    VkExtent2D extent;
    if (!chooseFormat() || !chooseExtent(caps, &extent) || !prepareCanvas(caps, extent)) return false;
    extent_ = extent;
    if (!replaceSwapchain(caps)) return false;
    wrapImages();
    outOfDate_ = false;
    holdsImage_ = false;
    return true;
}

bool SwapChainImpl::chooseFormat() {
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(core_.physicalDevice, surface_, &count, nullptr);
    std::vector<VkSurfaceFormatKHR> formats(count);
    vkGetPhysicalDeviceSurfaceFormatsKHR(core_.physicalDevice, surface_, &count, formats.data());
    // The wanted 8-bit format first, the other channel order second.
    const Format order[2] = {desc_.Format, desc_.Format == Format::B8G8R8A8_UNORM ? Format::R8G8B8A8_UNORM
                                                                                  : Format::B8G8R8A8_UNORM};
    format_ = VK_FORMAT_UNDEFINED;
    for (Format candidate : order) {
        const VkFormat wanted =
            candidate == Format::B8G8R8A8_UNORM ? VK_FORMAT_B8G8R8A8_UNORM : VK_FORMAT_R8G8B8A8_UNORM;
        if (std::any_of(formats.begin(), formats.end(), [&](const VkSurfaceFormatKHR& f) {
                return f.format == wanted && f.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR;
            })) {
            format_ = wanted;
            desc_.Format = candidate;
            return true;
        }
    }
    core_.lastError = "the window offers no 8-bit RGBA or BGRA format";
    return false;
}

bool SwapChainImpl::chooseExtent(const VkSurfaceCapabilitiesKHR& caps, VkExtent2D* extent) const {
    // The surface may dictate its size; otherwise the requested one, within its limits.
    *extent = caps.currentExtent;
    if (extent->width == UINT32_MAX) {
        extent->width = std::clamp(desc_.Width, caps.minImageExtent.width, caps.maxImageExtent.width);
        extent->height = std::clamp(desc_.Height, caps.minImageExtent.height, caps.maxImageExtent.height);
    }
    if (extent->width == 0 || extent->height == 0) {
        core_.lastError = "the window has no area to present to";
        return false;
    }
    return true;
}

bool SwapChainImpl::prepareCanvas(const VkSurfaceCapabilitiesKHR& caps, VkExtent2D extent) {
    if (extent.width == desc_.Width && extent.height == desc_.Height) {
        canvas_.reset();
        return true;
    }
    if (!(caps.supportedUsageFlags & VK_IMAGE_USAGE_TRANSFER_DST_BIT)) {
        core_.lastError = "the window cannot take a picture scaled to its size";
        return false;
    }
    if (canvas_ && canvas_->format == format_) return true;
    canvas_ = std::make_unique<TextureImage>(context_->sharedCore());
    const VkImageUsageFlags usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
                                    VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    if (!canvas_->create(VK_IMAGE_TYPE_2D, format_, {desc_.Width, desc_.Height, 1}, 1, usage)) {
        canvas_.reset();
        return false;
    }
    return true;
}

bool SwapChainImpl::replaceSwapchain(const VkSurfaceCapabilitiesKHR& caps) {
    uint32_t images = std::max(caps.minImageCount, desc_.BufferCount);
    if (caps.maxImageCount) images = std::min(images, caps.maxImageCount);
    VkSwapchainCreateInfoKHR info{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = surface_;
    info.minImageCount = images;
    info.imageFormat = format_;
    info.imageColorSpace = VK_COLOR_SPACE_SRGB_NONLINEAR_KHR;
    info.imageExtent = extent_;
    info.imageArrayLayers = 1;
    info.imageUsage =
        VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT |
        (caps.supportedUsageFlags & (VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT));
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.preTransform = caps.currentTransform;
    info.compositeAlpha =
        (caps.supportedCompositeAlpha & VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR)
            ? VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR
            : VkCompositeAlphaFlagBitsKHR(caps.supportedCompositeAlpha & -caps.supportedCompositeAlpha);
    presentMode_ = choosePresentMode();
    info.presentMode = presentMode_;
    info.clipped = VK_TRUE;
    info.oldSwapchain = swapchain_;
    VkSwapchainKHR created = VK_NULL_HANDLE;
    const VkResult result = vkCreateSwapchainKHR(core_.device, &info, nullptr, &created);
    if (swapchain_) {
        core_.waitIdle();
        vkDeviceWaitIdle(core_.device);
        destroyImages();
        vkDestroySwapchainKHR(core_.device, swapchain_, nullptr);
        swapchain_ = VK_NULL_HANDLE;
    }
    if (result != VK_SUCCESS) {
        core_.lastError = "the swap chain could not be created";
        return false;
    }
    swapchain_ = created;
    return true;
}

void SwapChainImpl::wrapImages() {
    uint32_t count = 0;
    vkGetSwapchainImagesKHR(core_.device, swapchain_, &count, nullptr);
    std::vector<VkImage> vkImages(count);
    vkGetSwapchainImagesKHR(core_.device, swapchain_, &count, vkImages.data());
    const VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    for (VkImage image : vkImages) {
        images_.push_back(std::make_unique<TextureImage>(context_->sharedCore()));
        images_.back()->wrap(image, format_, {extent_.width, extent_.height, 1});
        renderDone_.push_back(VK_NULL_HANDLE);
        vkCreateSemaphore(core_.device, &semaphoreInfo, nullptr, &renderDone_.back());
    }
}

Ref<Texture2D> SwapChainImpl::GetBuffer(uint32_t index) {
    if (index != 0) {
        core_.lastError = "only buffer 0 of a flip-discard swap chain can be drawn into";
        return nullptr;
    }
    return Ref<BackBuffer>::adopt(new BackBuffer(Ref<SwapChainImpl>::share(this)));
}

TextureImage* SwapChainImpl::currentImage() {
    if (holdsImage_) return canvas_ ? canvas_.get() : images_[current_].get();
    // A minimised window's surface has no size: no swap chain fits it until it is restored.
    if (!HasArea()) {
        core_.lastError = "the window has no area to present to";
        outOfDate_ = true;
        return nullptr;
    }
    if (outOfDate_ && !createSwapchain()) return nullptr;
    if (canvas_) {
        holdsImage_ = true;
        return canvas_.get();
    }
    return acquireImage();
}

TextureImage* SwapChainImpl::acquireImage() {
    VkSemaphore semaphore = acquired_[acquireCount_++ % kAcquireRing];
    VkResult result =
        vkAcquireNextImageKHR(core_.device, swapchain_, UINT64_MAX, semaphore, VK_NULL_HANDLE, &current_);
    if (result == VK_ERROR_OUT_OF_DATE_KHR) {
        if (!createSwapchain()) return nullptr;
        result =
            vkAcquireNextImageKHR(core_.device, swapchain_, UINT64_MAX, semaphore, VK_NULL_HANDLE, &current_);
    }
    if (result != VK_SUCCESS && result != VK_SUBOPTIMAL_KHR) {
        core_.lastError = "no swap chain image could be acquired";
        return nullptr;
    }
    holdsImage_ = true;
    core_.waitBeforeNextSubmit(semaphore);
    // The previous contents are discarded, as with a flip-discard swap chain.
    TextureImage* image = images_[current_].get();
    imageBarrier(core_, context_->outsideRendering(), image->image, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_GENERAL);
    image->hazard = {};
    return image;
}

void SwapChainImpl::scaleCanvasInto(TextureImage& image) {
    const VkCommandBuffer commands = context_->outsideRendering();
    imageBarrier(core_, commands, canvas_->image, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL);
    // The bands beside a picture of another shape are black.
    const VkClearColorValue black{};
    const VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    vkCmdClearColorImage(commands, image.image, VK_IMAGE_LAYOUT_GENERAL, &black, 1, &range);
    imageBarrier(core_, commands, image.image, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL);
    VkImageBlit blit{};
    blit.srcSubresource = blit.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    blit.srcOffsets[1] = {int32_t(desc_.Width), int32_t(desc_.Height), 1};
    blit.dstOffsets[1] = fittedEnd({desc_.Width, desc_.Height}, extent_, &blit.dstOffsets[0]);
    vkCmdBlitImage(commands, canvas_->image, VK_IMAGE_LAYOUT_GENERAL, image.image, VK_IMAGE_LAYOUT_GENERAL, 1,
                   &blit, VK_FILTER_LINEAR);
    // The next frame draws into the canvas only after the copy has read it.
    imageBarrier(core_, commands, canvas_->image, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL);
    canvas_->hazard = {};
}

bool SwapChainImpl::Present(uint32_t, uint32_t) {
    // Nothing was drawn into buffer 0 and there is nowhere to show it: the frame's other work still runs.
    if (!holdsImage_ && !HasArea()) {
        context_->Flush();
        return true;
    }
    TextureImage* image = currentImage();
    if (!image) return false;
    if (canvas_) {
        image = acquireImage();
        if (!image) return false;
        // A window that has just taken the buffers' size needs no scaling any more (its canvas went).
        if (canvas_) scaleCanvasInto(*image);
    }
    imageBarrier(core_, context_->outsideRendering(), image->image, VK_IMAGE_LAYOUT_GENERAL,
                 VK_IMAGE_LAYOUT_PRESENT_SRC_KHR);
    if (!core_.submit(renderDone_[current_])) return false;
    holdsImage_ = false;
    VkPresentInfoKHR info{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    info.waitSemaphoreCount = 1;
    info.pWaitSemaphores = &renderDone_[current_];
    info.swapchainCount = 1;
    info.pSwapchains = &swapchain_;
    info.pImageIndices = &current_;
    const VkResult result = vkQueuePresentKHR(core_.queue, &info);
    if (result == VK_ERROR_OUT_OF_DATE_KHR || result == VK_SUBOPTIMAL_KHR)
        outOfDate_ = true;
    else if (result != VK_SUCCESS) {
        core_.lastError = "presenting failed (the window or device is gone)";
        return false;
    }
    return true;
}

Ref<SwapChain> DeviceImpl::CreateSwapChainForWindow(const window::NativeWindow& window,
                                                    const SwapChainDesc& desc) {
    if (!core_->pass(CheckSwapChainDesc(desc), "CreateSwapChainForWindow")) return nullptr;
    if (!core_->presentationEnabled) return fail("the device was created without a window to present to");
    if (window.system != core_->options().window.system)
        return fail("the window belongs to another window system than the device was made for");
    std::string error;
    const VkSurfaceKHR surface = createSurface(core_->instance, window, &error);
    if (!surface) return fail(error);
    auto swapChain = Ref<SwapChainImpl>::adopt(new SwapChainImpl(context_, surface, desc));
    if (!swapChain->create()) return nullptr;
    return swapChain;
}

} // namespace gpu::vulkan
