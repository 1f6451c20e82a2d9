// A one-line progress report on stderr: frames done, frames per second and time left.
#pragma once

#include <chrono>
#include <cstdint>

class ProgressBar {
  public:
    explicit ProgressBar(uint64_t total);
    // Redraws at most a few times a second, and always for the last frame.
    void update(uint64_t done);

  private:
    uint64_t total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// The line drawn for `done` of `total` frames after `seconds` (no carriage return or newline).
void formatProgress(char* out, size_t size, uint64_t done, uint64_t total, double seconds);
