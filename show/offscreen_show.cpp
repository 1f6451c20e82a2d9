#include "show/offscreen_show.h"

#include "gfx/scene.h"

#include <cstring>
#include <new>

namespace show {

OffscreenShow::~OffscreenShow() {
    // The scene's objects go before the device they live on.
    if (show_.built.scene) teardownShow(show_);
}

bool OffscreenShow::open(int width, int height, std::string* error, std::optional<gpu::Renderer> renderer) {
    gpu::DeviceOptions options;
    options.renderer = renderer;
    if (!gpu::CreateDevice(options, &device_, &context_, error)) return false;
    gpu::Texture2DDesc desc;
    desc.Width = uint32_t(width);
    desc.Height = uint32_t(height);
    desc.Format = gpu::Format::R8G8B8A8_UNORM;
    desc.BindFlags = gpu::BIND_RENDER_TARGET | gpu::BIND_SHADER_RESOURCE;
    image_ = device_->CreateTexture2D(desc, nullptr);
    if (image_) view_ = device_->CreateRenderTargetView(image_.get(), nullptr);
    if (!view_) {
        *error = "cannot create a " + std::to_string(width) + "x" + std::to_string(height) +
                 " image: " + device_->GetLastError();
        return false;
    }
    // The read-back copies take 7 bytes a pixel: a large picture may not fit where the GPU image did.
    try {
        rgba_.resize(size_t(width) * size_t(height) * 4);
        rgb_.resize(size_t(width) * size_t(height) * 3);
    } catch (const std::bad_alloc&) {
        *error = pictureOutOfMemory(width, height);
        outOfMemory_ = true;
        return false;
    }
    setupShow(show_, device_.get(), context_.get(), view_.get(), width, height);
    return true;
}

Orvo::Gfx::PassTimer& OffscreenShow::measurePasses() {
    timer_ = std::make_unique<Orvo::Gfx::PassTimer>(*device_, *context_);
    show_.built.scene->timer = timer_.get();
    return *timer_;
}

bool OffscreenShow::render(float time, std::string* error) {
    renderShowFrame(show_, time);
    const uint32_t rowBytes = uint32_t(image_->GetDesc().Width) * 4;
    if (!context_->ReadBack(image_.get(), 0, rgba_.data(), rgba_.size(), rowBytes)) {
        *error = "cannot read the frame back: " + device_->GetLastError();
        return false;
    }
    // The presented image is opaque; its alpha channel carries nothing to keep.
    for (size_t p = 0, n = rgb_.size() / 3; p < n; ++p) std::memcpy(&rgb_[3 * p], &rgba_[4 * p], 3);
    return true;
}

std::string pictureOutOfMemory(int width, int height) {
    return "cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
           " picture: out of memory";
}

} // namespace show
