// Streams 32-bit float stereo frames into a WAV file (format tag 3); sizes are patched on close.
#pragma once

#include <cstdint>
#include <cstdio>

class WavWriter {
  public:
    // false (errno set) when the file cannot be created.
    bool open(const char* path, uint32_t rate);
    bool write(const float* interleavedStereo, uint32_t frames);
    // Writes the final sizes; false on any write error since open.
    bool close();
    ~WavWriter();

  private:
    std::FILE* file_ = nullptr;
    uint32_t rate_ = 0;
    uint64_t dataBytes_ = 0;
    bool ok_ = true;
    bool writeHeader();
};
