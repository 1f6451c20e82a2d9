// A wave device whose play cursor moves only when told to: offline capture drives the music clock
// frame by frame and receives, in order, exactly the bytes a sound card would have played.
#pragma once

#include "platform/wave_out.h"

#include <atomic>
#include <cstdint>
#include <functional>

namespace wave {

class ManualClockWaveOut final : public WaveOut {
  public:
    // Receives the played bytes of each advance, in play order.
    using PlayedSink = std::function<void(const uint8_t* data, uint32_t size)>;

    explicit ManualClockWaveOut(PlayedSink sink) : sink_(std::move(sink)) {}

    void prepareHeader(WaveHeader*) override {}
    void write(WaveHeader* header) override;
    bool getPositionBytes(uint32_t* bytes) override;
    void pause() override { paused_ = true; }
    void reset() override;

    // Plays `bytes` more of the looping buffer. Does nothing before the write or while paused.
    void advance(uint32_t bytes);
    bool playing() const { return header_ != nullptr && !paused_; }

  private:
    PlayedSink sink_;
    const WaveHeader* header_ = nullptr;
    bool paused_ = false;
    std::atomic<uint32_t> played_{0};
};

// Opens ManualClockWaveOut devices and remembers the last one, so the capture can drive it.
class ManualClockDriver final : public WaveOutDriver {
  public:
    explicit ManualClockDriver(ManualClockWaveOut::PlayedSink sink) : sink_(std::move(sink)) {}
    WaveOut* open(const WaveFormat& format) override;
    // The device opened last; null before the first open. The stream that opened it owns it.
    ManualClockWaveOut* device() const { return device_; }

  private:
    ManualClockWaveOut::PlayedSink sink_;
    ManualClockWaveOut* device_ = nullptr;
};

} // namespace wave
