#include "tools/capture/progress_bar.h"

#include <cstdio>

namespace tools {

void formatProgress(char* out, size_t size, uint64_t done, uint64_t total, double seconds) {
    constexpr int kWidth = 30;
    const int filled = total ? int(done * kWidth / total) : kWidth;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    const double fps = seconds > 0.0 ? double(done) / seconds : 0.0;
    const long left = fps > 0.0 ? long(double(total - done) / fps + 0.5) : -1;
    char leftText[24] = "--:--";
    if (left >= 0) std::snprintf(leftText, sizeof leftText, "%ld:%02ld", left / 60, left % 60);
    std::snprintf(out, size, "[%s] %llu/%llu frames  %.2f fps  %s left", bar, (unsigned long long)done,
                  (unsigned long long)total, fps, leftText);
}

ProgressBar::ProgressBar(uint64_t total)
    : total_(total), line_(total), start_(std::chrono::steady_clock::now()),
      lastDraw_(start_ - std::chrono::seconds(1)) {}

void ProgressBar::update(uint64_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (!line_.due(done, now - lastDraw_ >= std::chrono::milliseconds(250))) return;
    lastDraw_ = now;
    char text[160];
    formatProgress(text, sizeof text, done, total_, std::chrono::duration<double>(now - start_).count());
    line_.print(text, done >= total_);
}

} // namespace tools
