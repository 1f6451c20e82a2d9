// A one-line progress report on stderr: frames done, frames per second and time left (off a terminal a
// plain line at each tenth of the frames, see tools/output_files/progress_line.h).
#pragma once

#include "tools/output_files/progress_line.h"

#include <chrono>
#include <cstdint>

namespace tools {

class ProgressBar {
  public:
    explicit ProgressBar(uint64_t total);
    // Redraws at most a few times a second, and always for the last frame.
    void update(uint64_t done);

  private:
    uint64_t total_;
    output_files::ProgressLine line_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// The line drawn for `done` of `total` frames after `seconds` (no carriage return or newline).
void formatProgress(char* out, size_t size, uint64_t done, uint64_t total, double seconds);

} // namespace tools
