// A wave device whose play position the test sets by hand, logging every call the stream makes.
#pragma once

#include "platform/wave_out.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

struct FakeWaveLog {
    std::vector<std::string> calls; // main-thread calls, in order
    wave::WaveFormat format;
    wave::WaveHeader prepared;
    std::atomic<uint32_t> positionBytes{0};
    std::atomic<bool> positionFails{false};
    std::atomic<int> positionQueries{0};
    std::atomic<bool> positionHeld{false}; // position queries wait while set
};

class FakeWaveOut final : public wave::WaveOut {
  public:
    explicit FakeWaveOut(FakeWaveLog& log) : log_(log) {}
    ~FakeWaveOut() override { log_.calls.push_back("close"); }
    void prepareHeader(wave::WaveHeader* header) override {
        log_.prepared = *header;
        log_.calls.push_back("prepare");
    }
    void write(wave::WaveHeader*) override { log_.calls.push_back("write"); }
    bool getPositionBytes(uint32_t* bytes) override {
        ++log_.positionQueries;
        while (log_.positionHeld) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (log_.positionFails) return false;
        *bytes = log_.positionBytes;
        return true;
    }
    void pause() override { log_.calls.push_back("pause"); }
    void reset() override { log_.calls.push_back("reset"); }

  private:
    FakeWaveLog& log_;
};

// Opens fake devices, or none when `available` is false.
class FakeWaveDriver final : public wave::WaveOutDriver {
  public:
    FakeWaveLog log;
    bool available = true;
    wave::WaveOut* open(const wave::WaveFormat& format) override {
        log.calls.push_back("open");
        log.format = format;
        return available ? new FakeWaveOut(log) : nullptr;
    }
};
