#include "platform/manual_clock/manual_clock_wave_out.h"

#include <algorithm>

namespace wave {

void ManualClockWaveOut::write(WaveHeader* header) {
    header_ = header;
    paused_ = false;
    played_ = 0;
}

bool ManualClockWaveOut::getPositionBytes(uint32_t* bytes) {
    *bytes = played_.load(std::memory_order_acquire);
    return true;
}

void ManualClockWaveOut::reset() {
    header_ = nullptr;
    played_ = 0;
}

void ManualClockWaveOut::advance(uint32_t bytes) {
    if (!playing() || header_->bufferLength == 0) return;
    const auto* data = static_cast<const uint8_t*>(header_->data);
    const uint32_t length = header_->bufferLength;
    uint32_t played = played_.load(std::memory_order_relaxed);
    while (bytes > 0) {
        const uint32_t cursor = played % length;
        const uint32_t n = std::min(bytes, length - cursor);
        if (sink_) sink_(data + cursor, n);
        played += n;
        bytes -= n;
    }
    played_.store(played, std::memory_order_release);
}

WaveOut* ManualClockDriver::open(const WaveFormat& format) {
    if (format.formatTag != WAVE_FORMAT_IEEE_FLOAT || format.blockAlign == 0) return nullptr;
    device_ = new ManualClockWaveOut(sink_);
    return device_;
}

} // namespace wave
