// Wave output on SDL2 audio: SDL's callback copies the looping buffer at the play cursor and counts
// the bytes it has handed over. With no sound card SDL's "dummy" driver still consumes in real time.
#include "platform/wave_out.h"

#include "platform/sdl/sdl_library.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

namespace wave {
namespace {

// A short device period keeps the play cursor fine-grained, which the refill relies on to stay well
// inside the 4096-frame ring.
constexpr Uint16 kDevicePeriodFrames = 512;

class SdlWaveOut final : public WaveOut {
  public:
    // Takes one reference on SDL's audio subsystem, released by the destructor.
    explicit SdlWaveOut(const sdl::Functions& api) : api_(api) {}
    ~SdlWaveOut() override {
        if (device_ != 0) api_.CloseAudioDevice(device_);
        api_.QuitSubSystem(SDL_INIT_AUDIO);
    }

    // The device starts paused: nothing is consumed until the buffer is written.
    bool openDevice(const WaveFormat& format) {
        SDL_AudioSpec want{};
        want.freq = int(format.samplesPerSecond);
        want.format = AUDIO_F32SYS;
        want.channels = Uint8(format.channels);
        want.samples = kDevicePeriodFrames;
        want.callback = &SdlWaveOut::fill;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = api_.OpenAudioDevice(nullptr, 0, &want, &have, 0);
        return device_ != 0;
    }

    void prepareHeader(WaveHeader*) override {}

    void write(WaveHeader* header) override {
        api_.LockAudioDevice(device_);
        data_ = static_cast<const uint8_t*>(header->data);
        length_ = header->bufferLength;
        looping_ = (header->flags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
        played_ = 0;
        api_.UnlockAudioDevice(device_);
        api_.PauseAudioDevice(device_, 0);
    }

    bool getPositionBytes(uint32_t* bytes) override {
        *bytes = played_.load(std::memory_order_acquire);
        return true;
    }

    void pause() override { api_.PauseAudioDevice(device_, 1); }

    void reset() override {
        api_.PauseAudioDevice(device_, 1);
        api_.LockAudioDevice(device_);
        data_ = nullptr;
        length_ = 0;
        played_ = 0;
        api_.UnlockAudioDevice(device_);
    }

    static void SDLCALL fill(void* user, Uint8* out, int size) {
        static_cast<SdlWaveOut*>(user)->copyAtCursor(out, uint32_t(size));
    }

  private:
    // Runs on SDL's audio thread, under the device lock.
    void copyAtCursor(uint8_t* out, uint32_t size) {
        uint32_t played = played_.load(std::memory_order_relaxed);
        uint32_t done = 0;
        while (data_ && length_ > 0 && done < size && (looping_ || played < length_)) {
            const uint32_t cursor = played % length_;
            const uint32_t n = std::min(size - done, length_ - cursor);
            std::memcpy(out + done, data_ + cursor, n);
            done += n;
            played += n;
        }
        std::memset(out + done, 0, size - done);
        played_.store(played, std::memory_order_release);
    }

    const sdl::Functions& api_;
    SDL_AudioDeviceID device_ = 0;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
    bool looping_ = false;
    std::atomic<uint32_t> played_{0};
};

class SdlDriver final : public WaveOutDriver {
  public:
    WaveOut* open(const WaveFormat& format) override {
        // The ring is float stereo; SDL converts to whatever the hardware takes.
        if (format.formatTag != WAVE_FORMAT_IEEE_FLOAT || format.bitsPerSample != 32 || format.channels == 0)
            return nullptr;
        // Without SDL2 there is no device, as without a sound card.
        std::string error;
        const sdl::Functions* api = sdl::load(&error);
        if (!api || api->InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
        SdlWaveOut* device = new SdlWaveOut(*api);
        if (device->openDevice(format)) return device;
        delete device;
        return nullptr;
    }
};

} // namespace

WaveOutDriver& systemWaveOutDriver() {
    static SdlDriver driver;
    return driver;
}

} // namespace wave
