// A progress report on standard error. On a terminal it is one line redrawn in place with carriage returns,
// as often as the caller likes; anywhere else (a log file, a pipe) each report is a plain line of its own,
// and only one at each tenth of the work and one at its end, so a log of a long run holds a few lines.
#pragma once

#include <cstdint>
#include <string>

namespace output_files {

class ProgressLine {
  public:
    // `total` units of work; `terminal` whether standard error is one (by default, found out now).
    explicit ProgressLine(uint64_t total);
    ProgressLine(uint64_t total, bool terminal) : total_(total), terminal_(terminal) {}

    // Whether the report for `done` units is printed: at the end always; otherwise, on a terminal when
    // the caller's own pace says `ready`, elsewhere when `done` has reached a tenth not reported yet.
    bool due(uint64_t done, bool ready);
    // `text` as the report (ending the line at the end of the work, or off a terminal).
    void print(const std::string& text, bool last);
    // What print would write for `text`.
    std::string line(const std::string& text, bool last) const;

  private:
    uint64_t total_;
    bool terminal_;
    uint64_t tenthsReported_ = 0;
};

} // namespace output_files
