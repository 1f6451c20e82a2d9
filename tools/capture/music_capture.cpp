#include "tools/capture/music_capture.h"

#include "music/audio_stream.h"
#include "platform/manual_clock/manual_clock_wave_out.h"
#include "platform/stop_signal.h"
#include "tools/output_files/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

using namespace base;
using namespace music;
using namespace output_files;
using namespace platform;

namespace tools {

namespace {

// Plays the ring up to `target` frames. Each step plays at most one ring, and only once the refill
// thread has caught up with the cursor, so every played frame is the music that belongs there. False when
// SIGINT or SIGTERM asks the capture to stop.
bool playUntil(AudioStream& stream, wave::ManualClockWaveOut& device, uint64_t& played, uint64_t target) {
    while (played < target) {
        if (stopSignal()) return false;
        while (stream.player && stream.refilled.load(std::memory_order_acquire) != uint32_t(played))
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        const uint64_t step = std::min<uint64_t>(target - played, kRingFrames);
        device.advance(uint32_t(step * 8));
        played += step;
    }
    return true;
}

} // namespace

bool captureMusic(const uint8_t* module, uint32_t moduleSize, uint64_t startFrame, uint64_t endFrame,
                  const std::string& wavPath, std::string* error) {
    WavWriter wav;
    if (!wav.open(wavPath, kAudioRate, error)) return false;
    bool recording = false;
    bool written = true;
    wave::ManualClockDriver driver([&](const uint8_t* data, uint32_t size) {
        if (recording) written &= wav.write(reinterpret_cast<const float*>(data), size / 8);
    });
    AudioStream stream;
    openAudioStream(stream, driver, module, moduleSize);
    startPlayback(stream);
    uint64_t played = 0;
    bool whole = playUntil(stream, *driver.device(), played, startFrame);
    recording = true;
    whole = whole && playUntil(stream, *driver.device(), played, endFrame);
    closeAudioStream(stream);
    // Stopped part-way, the music is not committed (its temporary file goes) and the caller says why.
    if (!whole) {
        *error = "stopped";
        return false;
    }
    return wav.close(error) && written;
}

} // namespace tools
