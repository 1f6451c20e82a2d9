// MIRELANDT_TEST_NO_AREA=FROM,TO (seconds after a swap chain was made): the window reports no area in that
// span, as a minimised window does. A setting for the tests, which cannot minimise a window on every
// window system; every backend's swap chain honours it.
#pragma once

#include <chrono>

namespace gpu {

class NoAreaSetting {
  public:
    NoAreaSetting();
    // Inside the span now.
    bool active() const;

  private:
    std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
    double from_ = -1.0, to_ = -1.0;
};

} // namespace gpu
