// Large letters built from block characters, for logos and headers. The letter shapes come from a
// readable bitmap font (one '#' per pixel); a banner scales each pixel to a number of columns and of
// half rows, so that the half blocks (upper and lower) round off its edges, and casts a shade shadow.
#pragma once

#include "generators/pagegen/cells.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace generators {

struct BlockFont {
    int height = 0;
    std::map<char, std::vector<std::string>> glyphs; // rows of '#' (set) and '.' (clear)
};

// "height N", then for each letter "letter X" (or "letter space") followed by N rows of '#' and '.' of one
// width.
BlockFont parseBlockFont(const std::string& source, std::string_view text);

struct BannerLook {
    int columnsPerPixel = 1;
    int halfRowsPerPixel = 2;
    bool bold = false;
    std::vector<Cell> rowColours; // fg and bg per cell row of the banner; the last one repeats
    bool shadow = false;
    Cell shadowColour;
};

// Width of a banner in columns, for centring.
int bannerWidth(const BlockFont& font, std::string_view text, const BannerLook& look);
// Draws the banner with its top-left corner at (column, row); cells outside the page are dropped.
void drawBanner(Page& page, const BlockFont& font, int column, int row, std::string_view text,
                const BannerLook& look);

} // namespace generators
