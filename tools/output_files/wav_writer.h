// Streams 32-bit float stereo frames into a WAV file (format tag 3); sizes are patched on close. Written
// straight to a pipe or device, the header states the largest size instead, as streamed WAV does.
#pragma once

#include "tools/output_files/safe_file.h"

#include <cstdint>
#include <string>

namespace output_files {

class WavWriter {
  public:
    // False with a one-line reason when the file cannot be started.
    bool open(const std::string& path, uint32_t rate, std::string* error);
    // False once a write has failed.
    bool write(const float* interleavedStereo, uint32_t frames);
    // Writes the final sizes and puts the file in place; false with a reason on any failure since open.
    bool close(std::string* error);

  private:
    SafeFile file_;
    uint32_t rate_ = 0;
    uint64_t dataBytes_ = 0;
    void header(uint8_t* bytes) const; // kHeaderBytes for the frames written so far
};

} // namespace output_files
