// The system's wave device as the intro's clock: with one looping buffer queued, the bytes it reports
// played advance at 352800 a second of the wall clock. On Linux this is SDL's audio (its dummy driver
// here); on Windows winmm's waveOut (under wine, against a sound server's null sink).
#include "platform/wave_out.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBytesPerSecond = kRate * 8;

uint32_t position(wave::WaveOut& device) {
    uint32_t bytes = 0;
    device.getPositionBytes(&bytes);
    return bytes;
}

} // namespace

TEST(SystemWaveOut, ThePositionKeepsTimeWithTheWallClockOverFiveSeconds) {
    using Clock = std::chrono::steady_clock;
    using namespace std::chrono_literals;
    wave::WaveFormat format;
    format.formatTag = wave::WAVE_FORMAT_IEEE_FLOAT;
    format.channels = 2;
    format.samplesPerSecond = kRate;
    format.averageBytesPerSecond = kBytesPerSecond;
    format.blockAlign = 8;
    format.bitsPerSample = 32;
    std::unique_ptr<wave::WaveOut> device(wave::systemWaveOutDriver().open(format));
    ASSERT_TRUE(device) << "the system has no wave device for 44100 Hz float stereo";

    std::vector<float> ring(4096 * 2, 0.0f);
    wave::WaveHeader header;
    header.data = ring.data();
    header.bufferLength = uint32_t(ring.size() * sizeof(float));
    header.flags = wave::WHDR_BEGINLOOP | wave::WHDR_ENDLOOP;
    header.loops = 0xFFFFFFFFu;
    device->prepareHeader(&header);
    device->write(&header);

    // A sound server takes a moment to start the stream: time is measured once the position moves.
    const auto giveUp = Clock::now() + 5s;
    while (position(*device) == 0 && Clock::now() < giveUp) std::this_thread::sleep_for(5ms);
    ASSERT_GT(position(*device), 0u) << "the device played nothing in 5 s";
    // Then it may run slow for a while: under wine, against the null sink, at about two thirds of real
    // time for up to two seconds. The measurement starts once half a second plays in half a second.
    const auto settleBy = Clock::now() + 10s;
    for (bool steady = false; !steady && Clock::now() < settleBy;) {
        const auto probeStart = Clock::now();
        const uint32_t probeFirst = position(*device);
        std::this_thread::sleep_for(500ms);
        const double probeWall = std::chrono::duration<double>(Clock::now() - probeStart).count();
        steady = std::abs(double(position(*device) - probeFirst) / kBytesPerSecond / probeWall - 1.0) < 0.02;
    }

    const auto start = Clock::now();
    const uint32_t first = position(*device);
    std::this_thread::sleep_for(5s);
    const uint32_t last = position(*device);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double played = double(last - first) / kBytesPerSecond;
    std::printf("wave device clock: %.3f s played in %.3f s of wall clock (%+.2f %%)\n", played, wall,
                100.0 * (played / wall - 1.0));
    EXPECT_NEAR(played / wall, 1.0, 0.05);
    device->pause();
    device->reset();
}
