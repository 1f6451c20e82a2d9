// The music's way to the speakers and the intro's master clock: a ring of 4096 stereo float frames
// that the wave device plays in an endless loop while a time-critical thread renders again, every
// 5 ms, whatever part of the ring the device has just played.
#pragma once

#include "base/show_constants.h"
#include "music/module_player.h"
#include "music/ring_refill.h"
#include "platform/wave_out.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace music {

constexpr uint32_t kRingBytes = kRingFrames * 2 * sizeof(float);
static_assert(kRingBytes == 32768);

struct AudioStream {
    wave::WaveHeader header;
    wave::WaveOut* device = nullptr; // null when no device could be opened
    float ring[kRingFrames * 2] = {};
    ModulePlayer* player = nullptr;
    uint32_t startFrame = 0; // the song frame that the device's position 0 plays
    std::thread thread;
    uint8_t writePending = 0;
    std::atomic<uint8_t> stop{0};
    // Frames the refill thread has rendered since playback started; offline capture waits on it
    // before it plays the next stretch of the ring.
    std::atomic<uint32_t> refilled{0};
};

// Opens a device from `driver` (44100 Hz float stereo), plays the module once through a new player from
// song frame `startFrame` (rendered up to there silently, so what follows is sample for sample what a
// run from the start plays), pre-renders the next 4096 frames into the ring and starts the refill thread.
// Without a device nothing else is created; without a player (a module that does not load) the device plays
// silence and no thread runs; when the thread cannot start the player is freed and the ring silenced, so the
// clock still runs but nothing renders.
void openAudioStream(AudioStream& stream, wave::WaveOutDriver& driver, const uint8_t* module,
                     uint32_t moduleSize, uint32_t startFrame = 0);
// Queues the ring on the device the first time it is called after opening; the main loop calls it
// every frame.
void startPlayback(AudioStream& stream);
// The song's time in seconds: the start plus what the device has played (nothing before playback,
// without a device, or when the device cannot tell).
float audioTimeSeconds(AudioStream& stream);
// The clock from a byte count: 8 bytes per stereo frame, 44100 frames per second.
float audioSecondsFromBytes(uint32_t bytes);
// The body of the refill thread; returns once `stop` is set.
void audioThreadMain(AudioStream* stream);
// Stops and joins the thread, then pauses, resets and closes the device and frees the player, each
// only where it exists. Safe to call once on any opened stream.
void closeAudioStream(AudioStream& stream);

} // namespace music
