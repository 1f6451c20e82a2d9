// The 8 x 16 code page 437 font bitmap that the text layers and the cylinder read: 256 glyphs of 128
// integers, glyph g at g * 128, rows from the top, 8 pixels per row from the left, 1 for a set pixel.
#pragma once

#include "generators/pagegen/cp437.h"
#include "generators/pagegen/pcf_font.h"

#include <cstdint>
#include <string>
#include <vector>

namespace generators {

constexpr int kFontGlyphCount = 256, kGlyphWidth = 8, kGlyphHeight = 16;
constexpr int kGlyphSize = kGlyphWidth * kGlyphHeight;

// Every code that shows a character must find its glyph in the font, so that no code silently draws
// an empty cell.
std::vector<int32_t> buildFontTable(const BitmapFont& font, const Cp437Table& codePage);

// The bytes of a file, inflated when it is gzip-compressed (as Debian ships its fonts).
std::vector<uint8_t> readMaybeGzipped(const std::string& path);

} // namespace generators
