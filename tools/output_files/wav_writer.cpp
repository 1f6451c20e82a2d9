#include "tools/output_files/wav_writer.h"

#include <algorithm>
#include <cstring>

namespace output_files {

namespace {
constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBitsPerSample = 32;
// RIFF, an 18-byte fmt chunk and a fact chunk (both expected for non-PCM formats), then the data chunk.
constexpr uint32_t kHeaderBytes = 58;

void put16(uint8_t* at, uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}
void put32(uint8_t* at, uint32_t v) {
    put16(at, uint16_t(v));
    put16(at + 2, uint16_t(v >> 16));
}
} // namespace

bool WavWriter::open(const std::string& path, uint32_t rate, std::string* error) {
    if (!file_.open(path, error)) return false;
    rate_ = rate;
    dataBytes_ = file_.direct() ? ~0ull : 0;
    uint8_t h[kHeaderBytes];
    header(h);
    file_.write(h, kHeaderBytes);
    return true;
}

void WavWriter::header(uint8_t* h) const {
    // RIFF sizes are 32 bits; a longer render keeps the largest size the format can state.
    const uint32_t frameBytes = kChannels * kBitsPerSample / 8;
    auto data = uint32_t(
        std::min<uint64_t>(dataBytes_, (0xFFFFFFFFull - (kHeaderBytes - 8)) / frameBytes * frameBytes));
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, kHeaderBytes - 8 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 18);
    put16(h + 20, kFormatIeeeFloat);
    put16(h + 22, kChannels);
    put32(h + 24, rate_);
    put32(h + 28, rate_ * frameBytes);
    put16(h + 32, frameBytes);
    put16(h + 34, kBitsPerSample);
    put16(h + 36, 0); // no extra format bytes
    std::memcpy(h + 38, "fact", 4);
    put32(h + 42, 4);
    put32(h + 46, data / frameBytes);
    std::memcpy(h + 50, "data", 4);
    put32(h + 54, data);
}

bool WavWriter::write(const float* frames, uint32_t count) {
    // Samples are stored little-endian, as on every machine this runs on.
    const size_t values = size_t(count) * kChannels;
    file_.write(frames, values * sizeof(float));
    if (!file_.direct()) dataBytes_ += values * sizeof(float);
    return !file_.failed();
}

bool WavWriter::close(std::string* error) {
    if (!file_.direct()) {
        uint8_t h[kHeaderBytes];
        header(h);
        file_.writeAt(0, h, kHeaderBytes);
    }
    return file_.commit(error);
}

} // namespace output_files
