// The show on a headless device, drawing into an RGBA8 image that is read back after every frame.
#pragma once

#include "gfx/pass_timer.h"
#include "platform/gpu.h"
#include "show/show_setup.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace show {

class OffscreenShow {
  public:
    OffscreenShow() = default;
    OffscreenShow(const OffscreenShow&) = delete;
    OffscreenShow& operator=(const OffscreenShow&) = delete;
    ~OffscreenShow();

    // False with a one-line reason when there is no device of the renderer asked for (unset: the
    // platform's choice) or the image cannot be made.
    bool open(int width, int height, std::string* error, std::optional<gpu::Renderer> renderer = {});
    // After a failed open: the picture's memory could not be had.
    bool outOfMemory() const { return outOfMemory_; }
    // Renders the frame at `time`; its pixels are then in rgb(), rows top first, 3 bytes a pixel.
    bool render(float time, std::string* error);
    const uint8_t* rgb() const { return rgb_.data(); }
    // The next render() continues as if `framesBefore` frames had been rendered, the last at `previousTime`.
    void seek(uint32_t framesBefore, float previousTime) {
        seekShowFrame(show_.state, framesBefore, previousTime);
    }
    // From the next frame on, times every pass on the GPU into the returned timer (after open).
    Orvo::Gfx::PassTimer& measurePasses();
    // The adapter the frames are drawn on, once open.
    std::string adapterName() const { return device_ ? device_->GetAdapterName() : std::string(); }
    // The renderer the frames are drawn with, once open.
    gpu::Renderer renderer() const { return device_->GetRenderer(); }
    // What the context has done so far (pipeline look-ups), for the capture benchmark.
    gpu::ContextStatistics statistics() const {
        return context_ ? context_->GetStatistics() : gpu::ContextStatistics{};
    }

  private:
    gpu::Ref<gpu::Device> device_;
    gpu::Ref<gpu::DeviceContext> context_;
    gpu::Ref<gpu::Texture2D> image_;
    gpu::Ref<gpu::RenderTargetView> view_;
    std::unique_ptr<Orvo::Gfx::PassTimer> timer_; // its queries go before the device
    Show show_;
    std::vector<uint8_t> rgba_, rgb_;
    bool outOfMemory_ = false;
};

// "cannot make a WxH picture: out of memory".
std::string pictureOutOfMemory(int width, int height);

} // namespace show
