#include "tools/output_files/progress_line.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace output_files {

namespace {

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

} // namespace

ProgressLine::ProgressLine(uint64_t total) : ProgressLine(total, stderrIsTerminal()) {}

bool ProgressLine::due(uint64_t done, bool ready) {
    if (done >= total_) return true;
    if (terminal_) return ready;
    const uint64_t tenths = done * 10 / total_;
    if (tenths <= tenthsReported_) return false;
    tenthsReported_ = tenths;
    return true;
}

std::string ProgressLine::line(const std::string& text, bool last) const {
    if (!terminal_) return text + "\n";
    return "\r" + text + (last ? "\n" : "");
}

void ProgressLine::print(const std::string& text, bool last) {
    std::fputs(line(text, last).c_str(), stderr);
}

} // namespace output_files
