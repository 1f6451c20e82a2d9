#include "generators/pagegen/text_input.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace generators {

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string hexString(uint32_t value) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    std::string out(digits, end);
    for (auto& c : out) c = char(std::toupper(uint8_t(c)));
    return out.size() < 4 ? std::string(4 - out.size(), '0') + out : out;
}

LineReader::LineReader(std::string sourceName, std::string_view sourceText)
    : source(std::move(sourceName)), text(sourceText) {}

bool LineReader::nextRaw() {
    if (position >= text.size()) return false;
    size_t end = text.find('\n', position);
    if (end == std::string_view::npos) end = text.size();
    current.assign(text.substr(position, end - position));
    if (!current.empty() && current.back() == '\r') current.pop_back();
    position = end + 1;
    ++number;
    return true;
}

bool LineReader::next() {
    while (nextRaw()) {
        size_t first = current.find_first_not_of(" \t");
        if (first != std::string::npos && current[first] != '#') return true;
    }
    return false;
}

std::vector<std::string> LineReader::words() const {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < current.size()) {
        if (current[i] == ' ' || current[i] == '\t') {
            ++i;
        } else if (current[i] == '#' && (i + 1 == current.size() || current[i + 1] == ' ')) {
            break; // a comment; "#rrggbb" is a word
        } else if (current[i] == '"') {
            size_t close = current.find('"', i + 1);
            if (close == std::string::npos) fail("unterminated string");
            out.push_back(current.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = current.find_first_of(" \t", i);
            if (end == std::string::npos) end = current.size();
            out.push_back(current.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

void LineReader::fail(const std::string& message) const {
    throw std::runtime_error(source + ":" + std::to_string(number) + ": " + message);
}

int LineReader::integer(const std::string& word, int low, int high) const {
    int value = 0;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size())
        fail("expected a number, got '" + word + "'");
    if (value < low || value > high)
        fail(word + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

uint64_t LineReader::hexNumber(const std::string& digits) const {
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        fail("expected hexadecimal digits, got '" + digits + "'");
    return value;
}

} // namespace generators
