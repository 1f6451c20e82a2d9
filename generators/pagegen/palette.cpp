#include "generators/pagegen/palette.h"

#include "generators/pagegen/text_input.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <stdexcept>

namespace generators {

namespace {

struct Rgb8 {
    double r, g, b;
};

Rgb8 parseHexColour(const LineReader& lines, const std::string& word) {
    if (word.size() != 7 || word[0] != '#') lines.fail("expected #rrggbb, got '" + word + "'");
    auto value = uint32_t(lines.hexNumber(word.substr(1)));
    return {double(value >> 16), double((value >> 8) & 255), double(value & 255)};
}

} // namespace

std::vector<float> parsePalette(const std::string& source, std::string_view text) {
    LineReader lines(source, text);
    std::map<std::string, float> levels;
    std::vector<float> colours;
    std::vector<bool> given;
    auto set = [&](int index, float r, float g, float b) {
        if (given[index]) lines.fail("colour " + std::to_string(index) + " given twice");
        given[index] = true;
        colours[3 * index] = r;
        colours[3 * index + 1] = g;
        colours[3 * index + 2] = b;
    };
    while (lines.next()) {
        auto words = lines.words();
        const std::string& keyword = words[0];
        if (keyword != "size" && colours.empty()) lines.fail("the palette must start with its size");
        if (keyword == "size" && words.size() == 2) {
            if (!colours.empty()) lines.fail("size given twice");
            int count = lines.integer(words[1], 1, 256);
            colours.assign(3 * size_t(count), 0.0f);
            given.assign(size_t(count), false);
        } else if (keyword == "level" && words.size() == 3) {
            if (words[2].substr(0, 2) != "0x") lines.fail("a level is a float bit pattern 0xXXXXXXXX");
            levels[words[1]] = std::bit_cast<float>(uint32_t(lines.hexNumber(words[2].substr(2))));
        } else if (keyword == "colour" && words.size() == 5) {
            int index = lines.integer(words[1], 0, int(given.size()) - 1);
            float rgb[3];
            for (int c = 0; c < 3; ++c) {
                auto level = levels.find(words[2 + c]);
                if (level == levels.end()) lines.fail("unknown level '" + words[2 + c] + "'");
                rgb[c] = level->second;
            }
            set(index, rgb[0], rgb[1], rgb[2]);
        } else if (keyword == "ramp" && words.size() >= 5) {
            int first = lines.integer(words[1], 0, int(given.size()) - 1);
            int last = lines.integer(words[2], first + 1, int(given.size()) - 1);
            std::vector<Rgb8> stops;
            for (size_t w = 3; w < words.size(); ++w) stops.push_back(parseHexColour(lines, words[w]));
            for (int index = first; index <= last; ++index) {
                double t = double(index - first) / (last - first) * double(stops.size() - 1);
                size_t segment = std::min(size_t(t), stops.size() - 2);
                double f = t - double(segment);
                auto mix = [&](double Rgb8::*c) {
                    double v = stops[segment].*c + (stops[segment + 1].*c - stops[segment].*c) * f;
                    return float(std::round(v) / 255.0);
                };
                set(index, mix(&Rgb8::r), mix(&Rgb8::g), mix(&Rgb8::b));
            }
        } else {
            lines.fail("cannot read '" + lines.line() + "'");
        }
    }
    for (size_t i = 0; i < given.size(); ++i)
        if (!given[i]) throw std::runtime_error(source + ": colour " + std::to_string(i) + " is not given");
    if (colours.empty()) throw std::runtime_error(source + ": no size given");
    return colours;
}

} // namespace generators
