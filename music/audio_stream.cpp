#include "music/audio_stream.h"

#include "music/mixer.h"
#include "platform/time_critical_thread.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

using namespace base;

namespace music {

namespace {

constexpr auto kRefillPoll = std::chrono::milliseconds(5);

wave::WaveFormat ringFormat() {
    wave::WaveFormat format;
    format.formatTag = wave::WAVE_FORMAT_IEEE_FLOAT;
    format.channels = 2;
    format.samplesPerSecond = kAudioRate;
    format.blockAlign = 2 * sizeof(float);
    format.averageBytesPerSecond = kAudioRate * format.blockAlign;
    format.bitsPerSample = 32;
    return format;
}

uint32_t framesPlayed(AudioStream& stream) {
    uint32_t bytes = 0;
    stream.device->getPositionBytes(&bytes);
    return bytes >> 3;
}

} // namespace

void openAudioStream(AudioStream& stream, wave::WaveOutDriver& driver, const uint8_t* module,
                     uint32_t moduleSize, uint32_t startFrame) {
    stream.header = {};
    stream.device = nullptr;
    stream.player = nullptr;
    stream.startFrame = startFrame;
    stream.writePending = 0;
    stream.stop = 0;
    stream.refilled = 0;

    stream.device = driver.open(ringFormat());
    if (!stream.device) return;

    std::memset(stream.ring, 0, sizeof stream.ring);
    stream.header.data = stream.ring;
    stream.header.bufferLength = kRingBytes;
    stream.header.flags = wave::WHDR_BEGINLOOP | wave::WHDR_ENDLOOP;
    stream.header.loops = 0xFFFFFFFFu;
    stream.device->prepareHeader(&stream.header);

    if (createModulePlayer(module, moduleSize, &stream.player, kAudioRate) != CreateOk)
        stream.player = nullptr;
    if (stream.player) {
        setLoopLimit(stream.player, 1);
        for (uint32_t skipped = 0; skipped < startFrame; skipped += kRingFrames)
            renderFrames(stream.player, stream.ring, std::min(kRingFrames, startFrame - skipped));
        renderFrames(stream.player, stream.ring, kRingFrames);
        try {
            stream.thread = std::thread(audioThreadMain, &stream);
        } catch (const std::system_error&) {
            // Nobody would refill: the pre-rendered ring would repeat every 93 ms.
            freeModulePlayer(stream.player);
            stream.player = nullptr;
            std::memset(stream.ring, 0, sizeof stream.ring);
        }
    }
    stream.writePending = 1;
}

void startPlayback(AudioStream& stream) {
    if (!stream.writePending) return;
    stream.device->write(&stream.header);
    stream.writePending = 0;
}

float audioSecondsFromBytes(uint32_t bytes) {
    return float(double(bytes >> 3) / double(kAudioRate));
}

float audioTimeSeconds(AudioStream& stream) {
    uint32_t bytes = 0;
    if (stream.device) stream.device->getPositionBytes(&bytes);
    return float(double(uint64_t(bytes >> 3) + stream.startFrame) / double(kAudioRate));
}

void audioThreadMain(AudioStream* stream) {
    // Named so that a look at the process's threads shows the refill running and, later, joined. Without
    // the priority raise the 93 ms ring usually still covers the render loop's frames.
    platform::becomeTimeCritical("mirelandt-audio");
    uint32_t rendered = 0;
    while (!stream->stop.load(std::memory_order_acquire)) {
        rendered = refillRing(rendered, framesPlayed(*stream), [stream](uint32_t index, uint32_t frames) {
            renderFrames(stream->player, stream->ring + 2 * index, frames);
        });
        stream->refilled.store(rendered, std::memory_order_release);
        std::this_thread::sleep_for(kRefillPoll);
    }
}

void closeAudioStream(AudioStream& stream) {
    stream.stop.store(1, std::memory_order_release);
    if (stream.thread.joinable()) stream.thread.join();
    if (stream.device) {
        stream.device->pause();
        stream.device->reset();
        delete stream.device;
        stream.device = nullptr;
    }
    if (stream.player) freeModulePlayer(stream.player);
    stream.player = nullptr;
}

} // namespace music
