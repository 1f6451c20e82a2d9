// Waveform audio output in the shape of the waveOut interface: open a device for one format, hand it
// one looping buffer, ask how many bytes it has played. The music stream is written against this so
// that the same ring logic runs on a sound card (winmm, SDL) and on a clock driven by hand (offline capture).
#pragma once

#include <cstdint>

namespace wave {

constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint32_t WHDR_BEGINLOOP = 0x4;
constexpr uint32_t WHDR_ENDLOOP = 0x8;

struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

struct WaveHeader {
    void* data = nullptr;
    uint32_t bufferLength = 0; // bytes
    uint32_t bytesRecorded = 0;
    uintptr_t user = 0;
    uint32_t flags = 0;
    uint32_t loops = 0;
};

// An open output device. Position queries may come from any thread; the other calls come from the
// thread that opened it.
class WaveOut {
  public:
    virtual ~WaveOut() = default;
    virtual void prepareHeader(WaveHeader* header) = 0;
    // Queues the buffer; a header with WHDR_BEGINLOOP | WHDR_ENDLOOP is played from its first byte in
    // an endless loop.
    virtual void write(WaveHeader* header) = 0;
    // Bytes played since the write; false (and *bytes untouched) when the device cannot tell.
    virtual bool getPositionBytes(uint32_t* bytes) = 0;
    virtual void pause() = 0;
    // Stops playback and forgets the queued buffer; the position starts again at 0.
    virtual void reset() = 0;
};

// Where devices come from (the default output device of a system, or a stand-in).
class WaveOutDriver {
  public:
    virtual ~WaveOutDriver() = default;
    // Opens a device for `format`; null when none can play it. Closing a device is deleting it.
    virtual WaveOut* open(const WaveFormat& format) = 0;
};

// The system's default output device: winmm's waveOut on Windows, SDL2 audio on Linux. Opening fails
// (null) when the system has no device that can play the format.
WaveOutDriver& systemWaveOutDriver();

} // namespace wave
