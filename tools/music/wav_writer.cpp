#include "wav_writer.h"

#include <cstring>

namespace {
constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint16_t kChannels = 2;
constexpr uint16_t kBitsPerSample = 32;
constexpr uint32_t kHeaderBytes = 44;

void put16(uint8_t* at, uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}
void put32(uint8_t* at, uint32_t v) {
    put16(at, uint16_t(v));
    put16(at + 2, uint16_t(v >> 16));
}
} // namespace

bool WavWriter::open(const char* path, uint32_t rate) {
    file_ = std::fopen(path, "wb");
    rate_ = rate;
    return file_ && writeHeader();
}

bool WavWriter::writeHeader() {
    uint8_t h[kHeaderBytes];
    // RIFF sizes are 32 bits; a longer render keeps the largest size the format can state.
    auto data = uint32_t(dataBytes_ > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFull - 36 : dataBytes_);
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, kFormatIeeeFloat);
    put16(h + 22, kChannels);
    put32(h + 24, rate_);
    put32(h + 28, rate_ * kChannels * kBitsPerSample / 8);
    put16(h + 32, kChannels * kBitsPerSample / 8);
    put16(h + 34, kBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data);
    return std::fwrite(h, 1, kHeaderBytes, file_) == kHeaderBytes;
}

bool WavWriter::write(const float* frames, uint32_t count) {
    // Samples are stored little-endian, as on every machine this runs on.
    size_t values = size_t(count) * kChannels;
    ok_ = ok_ && std::fwrite(frames, sizeof(float), values, file_) == values;
    dataBytes_ += values * sizeof(float);
    return ok_;
}

bool WavWriter::close() {
    if (!file_) return false;
    ok_ = ok_ && std::fseek(file_, 0, SEEK_SET) == 0 && writeHeader();
    ok_ = std::fclose(file_) == 0 && ok_;
    file_ = nullptr;
    return ok_;
}

WavWriter::~WavWriter() {
    if (file_) std::fclose(file_);
}
