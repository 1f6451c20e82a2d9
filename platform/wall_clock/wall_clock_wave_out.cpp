#include "platform/wall_clock/wall_clock_wave_out.h"

#include <chrono>
#include <mutex>

namespace wave {

namespace {

using Clock = std::chrono::steady_clock;

class WallClockWaveOut final : public WaveOut {
  public:
    explicit WallClockWaveOut(const WaveFormat& format) : format_(format) {}

    void prepareHeader(WaveHeader*) override {}
    void write(WaveHeader*) override {
        const std::lock_guard lock(mutex_);
        start_ = Clock::now();
        played_ = {};
        playing_ = true;
    }
    bool getPositionBytes(uint32_t* bytes) override {
        const std::lock_guard lock(mutex_);
        const double seconds = std::chrono::duration<double>(elapsed()).count();
        const auto frames = uint64_t(seconds * format_.samplesPerSecond);
        *bytes = uint32_t(frames * format_.blockAlign);
        return true;
    }
    void pause() override {
        const std::lock_guard lock(mutex_);
        played_ = elapsed();
        playing_ = false;
    }
    void reset() override {
        const std::lock_guard lock(mutex_);
        played_ = {};
        playing_ = false;
    }

  private:
    Clock::duration elapsed() const {
        return played_ + (playing_ ? Clock::now() - start_ : Clock::duration{});
    }

    WaveFormat format_;
    std::mutex mutex_;
    Clock::time_point start_;
    Clock::duration played_{};
    bool playing_ = false;
};

class WallClockDriver final : public WaveOutDriver {
  public:
    WaveOut* open(const WaveFormat& format) override {
        if (format.blockAlign == 0 || format.samplesPerSecond == 0) return nullptr;
        return new WallClockWaveOut(format);
    }
};

} // namespace

WaveOutDriver& wallClockWaveOutDriver() {
    static WallClockDriver driver;
    return driver;
}

} // namespace wave
