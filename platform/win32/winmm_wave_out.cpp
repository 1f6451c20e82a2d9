// Wave output on winmm's waveOut: the system's default device (WAVE_MAPPER), no callback, one looping
// buffer, the position asked in bytes.
#include "platform/wave_out.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mmsystem.h>

namespace wave {
namespace {

class WinmmWaveOut final : public WaveOut {
  public:
    explicit WinmmWaveOut(HWAVEOUT device) : device_(device) {}
    ~WinmmWaveOut() override { waveOutClose(device_); }

    // The device keeps the address of its header while it plays: the header lives here, filled from
    // the caller's.
    void prepareHeader(WaveHeader* header) override {
        header_ = {};
        header_.lpData = static_cast<LPSTR>(header->data);
        header_.dwBufferLength = header->bufferLength;
        header_.dwBytesRecorded = header->bytesRecorded;
        header_.dwUser = header->user;
        header_.dwFlags = header->flags;
        header_.dwLoops = header->loops;
        waveOutPrepareHeader(device_, &header_, sizeof header_);
    }

    void write(WaveHeader* header) override {
        if (header_.lpData != header->data) prepareHeader(header);
        waveOutWrite(device_, &header_, sizeof header_);
    }

    bool getPositionBytes(uint32_t* bytes) override {
        MMTIME time{};
        time.wType = TIME_BYTES;
        if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR || time.wType != TIME_BYTES)
            return false;
        *bytes = time.u.cb;
        return true;
    }

    void pause() override { waveOutPause(device_); }
    void reset() override { waveOutReset(device_); }

  private:
    HWAVEOUT device_;
    WAVEHDR header_{};
};

class WinmmDriver final : public WaveOutDriver {
  public:
    WaveOut* open(const WaveFormat& format) override {
        WAVEFORMATEX wanted{};
        wanted.wFormatTag = format.formatTag;
        wanted.nChannels = format.channels;
        wanted.nSamplesPerSec = format.samplesPerSecond;
        wanted.nAvgBytesPerSec = format.averageBytesPerSecond;
        wanted.nBlockAlign = format.blockAlign;
        wanted.wBitsPerSample = format.bitsPerSample;
        HWAVEOUT device = nullptr;
        if (waveOutOpen(&device, WAVE_MAPPER, &wanted, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
            return nullptr;
        return new WinmmWaveOut(device);
    }
};

} // namespace

WaveOutDriver& systemWaveOutDriver() {
    static WinmmDriver driver;
    return driver;
}

} // namespace wave
