// Palettes as the shaders read them: three 32-bit floats (red, green, blue) per colour.
//
// Source format, one statement per line:
//   size N                      number of colours; every one must be given
//   level NAME 0xBITS           a named component value, stored as exactly that float bit pattern
//   colour I R G B              colour I from three level names
//   ramp FIRST LAST #rrggbb...  colours FIRST..LAST through evenly spaced 8-bit stops, each component
//                               rounded to the nearest 1/255
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace generators {

std::vector<float> parsePalette(const std::string& source, std::string_view text);

} // namespace generators
