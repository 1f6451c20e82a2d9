// GPU time of a scene's passes: timestamp queries around every pass that runs, gathered by position in
// the pass list, and around whole frames. Results arrive frames later, once the GPU has done the work;
// each frame's are added as soon as they are there, the last ones by finish().
#pragma once

#include "platform/gpu.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace Orvo::Gfx {

struct TimingStatistics {
    uint32_t count = 0;
    double totalMilliseconds = 0.0;
    double maxMilliseconds = 0.0;

    void add(double milliseconds);
    double meanMilliseconds() const { return count ? totalMilliseconds / count : 0.0; }
};

class PassTimer {
  public:
    PassTimer(gpu::Device& device, gpu::DeviceContext& context);
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

    // Called by renderFrame: around the frame's passes, and around each pass that runs.
    void beginFrame();
    void beginPass(uint32_t position);
    void endPass();
    void endFrame();

    // Waits for the results of every frame so far. False when some will never come (a device without
    // a GPU clock, a lost device); error() says why and measuring stops.
    bool finish();

    // By pass-list position; a position whose pass never ran has count 0.
    const std::vector<TimingStatistics>& passes() const { return passes_; }
    const TimingStatistics& frames() const { return frames_; }
    // Frames left out because the GPU clock was not steady while they ran.
    uint32_t disjointFrames() const { return disjointFrames_; }
    const std::string& error() const { return error_; }

  private:
    struct FrameQueries {
        gpu::Ref<gpu::Query> disjoint;
        // Frame start, the start and end of each pass that ran, frame end; grown as needed and reused.
        std::vector<gpu::Ref<gpu::Query>> stamps;
        uint32_t used = 0;
        std::vector<uint32_t> positions; // of the passes that ran, in order
    };

    void stamp();
    // Adds the results of the pending frames, oldest first, until one has not arrived.
    gpu::QueryStatus collect(uint32_t flags);
    gpu::QueryStatus gather(const FrameQueries& frame, uint32_t flags);
    void stop(std::string reason);

    gpu::Device& device_;
    gpu::DeviceContext& context_;
    std::unique_ptr<FrameQueries> current_;
    std::deque<std::unique_ptr<FrameQueries>> pending_;
    std::vector<std::unique_ptr<FrameQueries>> spare_;
    std::vector<uint64_t> ticks_; // one frame's timestamps, kept to avoid allocating per frame
    std::vector<TimingStatistics> passes_;
    TimingStatistics frames_;
    uint32_t disjointFrames_ = 0;
    std::string error_;
};

} // namespace Orvo::Gfx
