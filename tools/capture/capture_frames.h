// The frames of a capture range, rendered in order by the offscreen show: in this process, or spread over
// worker processes that each render every N-th frame on a device of their own.
#pragma once

#include "show/offscreen_show.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tools {

class CaptureFrames {
  public:
    virtual ~CaptureFrames() = default;
    // The next frame's pixels (RGB rows, top first), valid until the next call; false with a reason.
    virtual bool next(const uint8_t** rgb, std::string* error) = 0;
    // After a failed next(): the picture's memory could not be had.
    virtual bool outOfMemory() const { return false; }
};

struct FrameRange {
    uint64_t first = 0; // video frame numbers: frame n shows the music at n / fps
    uint64_t end = 0;
    int fps = 60;
};

// Frames rendered one after another on `show`, which is open and outlives the result.
std::unique_ptr<CaptureFrames> renderHere(show::OffscreenShow& show, const FrameRange& range);

// What each worker renders: the picture's size and the renderer asked for (unset: the platform's choice).
struct WorkerPicture {
    int width = 0;
    int height = 0;
    std::optional<gpu::Renderer> renderer;
};

// Frames rendered by `jobs` worker processes started now, before the caller starts any other process or
// thread; worker k renders frames first + k, first + k + jobs, ... and each frame is handed over exactly
// as one process rendering the whole range would have drawn it. Null with a reason when no worker starts,
// and `*outOfMemory` set when that is for want of memory for the picture.
std::unique_ptr<CaptureFrames> renderInWorkers(int jobs, const WorkerPicture& picture,
                                               const FrameRange& range, std::string* error,
                                               bool* outOfMemory);

// The show time of video frame n.
float captureFrameTime(uint64_t frame, int fps);

} // namespace tools
