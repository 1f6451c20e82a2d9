// Reader for the X11 Portable Compiled Format bitmap fonts that Debian's console and X font packages ship.
// Every offset and count is checked against the data, so a damaged font file gives an error, not a crash.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace generators {

struct BitmapFont {
    int cellWidth = 0;  // advance of every glyph (the font must be monospaced)
    int cellHeight = 0; // font ascent + descent
    // Encoding (byte1 * 256 + byte2, the Unicode value for an ISO10646 font) to cellWidth * cellHeight
    // pixels, row after row from the top, 1 where the glyph is set.
    std::unordered_map<uint32_t, std::vector<uint8_t>> glyphs;
};

BitmapFont readPcfFont(std::span<const uint8_t> data);

} // namespace generators
