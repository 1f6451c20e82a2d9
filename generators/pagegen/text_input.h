// Line-by-line reading of the content sources, with errors that name the source and line so that a
// mistake in a page or palette stops the build with a message a person can act on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace generators {

std::string readTextFile(const std::string& path);
std::string hexString(uint32_t value);

class LineReader {
  public:
    LineReader(std::string source, std::string_view text);

    // Advances to the next line that is neither blank nor a '#' comment; false at the end.
    bool next();
    // Advances to the next line whatever it holds (for blocks of art); false at the end.
    bool nextRaw();
    const std::string& line() const { return current; }

    // The line split at spaces; a double-quoted word keeps its spaces and loses its quotes, and a lone
    // '#' starts a comment that runs to the end of the line.
    std::vector<std::string> words() const;

    [[noreturn]] void fail(const std::string& message) const;
    int integer(const std::string& word, int low, int high) const;
    uint64_t hexNumber(const std::string& digits) const;

  private:
    std::string source;
    std::string_view text;
    size_t position = 0;
    std::string current;
    int number = 0;
};

} // namespace generators
