#include "generators/pagegen/block_letters.h"

#include "generators/pagegen/page_drawing.h"
#include "generators/pagegen/text_input.h"

#include <algorithm>
#include <stdexcept>

namespace generators {

namespace {

// The banner as a grid of half-row sub-cells: one column wide and half a row high each.
struct HalfRowGrid {
    int width = 0, height = 0;
    std::vector<uint8_t> set;
    bool at(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && set[size_t(y) * width + x];
    }
};

HalfRowGrid rasterise(const BlockFont& font, std::string_view text, const BannerLook& look) {
    HalfRowGrid grid;
    grid.width = bannerWidth(font, text, look);
    grid.height = font.height * look.halfRowsPerPixel;
    grid.set.assign(size_t(grid.width) * grid.height, 0);
    int left = 0;
    for (char letter : text) {
        const auto& rows = font.glyphs.at(letter);
        int pixels = int(rows[0].size()) + (look.bold ? 1 : 0);
        // Bold doubles every pixel to its right, so that strokes of one pixel hold up at small sizes.
        auto inked = [&](int py, int px) {
            bool here = px < int(rows[0].size()) && rows[py][px] == '#';
            return here || (look.bold && px > 0 && rows[py][px - 1] == '#');
        };
        for (int py = 0; py < font.height; ++py)
            for (int px = 0; px < pixels; ++px) {
                if (!inked(py, px)) continue;
                for (int y = 0; y < look.halfRowsPerPixel; ++y)
                    for (int x = 0; x < look.columnsPerPixel; ++x)
                        grid.set[size_t(py * look.halfRowsPerPixel + y) * grid.width + left +
                                 px * look.columnsPerPixel + x] = 1;
            }
        left += (pixels + 1) * look.columnsPerPixel;
    }
    return grid;
}

} // namespace

BlockFont parseBlockFont(const std::string& source, std::string_view text) {
    BlockFont font;
    LineReader lines(source, text);
    while (lines.next()) {
        auto words = lines.words();
        if (words.size() == 2 && words[0] == "height") {
            // Letters read so far have as many rows as the height they were read under.
            if (font.height) lines.fail("height given twice");
            font.height = lines.integer(words[1], 1, 32);
        } else if (words.size() == 2 && words[0] == "letter" &&
                   (words[1].size() == 1 || words[1] == "space")) {
            char letter = words[1] == "space" ? ' ' : words[1][0];
            if (font.height == 0) lines.fail("the height must come before the letters");
            std::vector<std::string> rows;
            while (int(rows.size()) < font.height && lines.nextRaw()) {
                std::string row = lines.line();
                while (!row.empty() && row.back() == ' ') row.pop_back();
                if (row.find_first_not_of("#.") != std::string::npos)
                    lines.fail("a letter row holds only # and .");
                if (!rows.empty() && row.size() != rows[0].size()) lines.fail("letter rows differ in width");
                if (row.empty()) lines.fail("empty letter row");
                rows.push_back(row);
            }
            if (int(rows.size()) < font.height) lines.fail("letter '" + words[1] + "' ends early");
            if (!font.glyphs.emplace(letter, rows).second)
                lines.fail("letter '" + words[1] + "' given twice");
        } else {
            lines.fail("cannot read '" + lines.line() + "'");
        }
    }
    return font;
}

int bannerWidth(const BlockFont& font, std::string_view text, const BannerLook& look) {
    int pixels = 0;
    for (char letter : text) {
        auto glyph = font.glyphs.find(letter);
        if (glyph == font.glyphs.end())
            throw std::runtime_error(std::string("the block font has no letter '") + letter + "'");
        pixels += int(glyph->second[0].size()) + (look.bold ? 2 : 1);
    }
    return pixels > 0 ? (pixels - 1) * look.columnsPerPixel : 0;
}

void drawBanner(Page& page, const BlockFont& font, int column, int row, std::string_view text,
                const BannerLook& look) {
    HalfRowGrid ink = rasterise(font, text, look);
    // The shadow falls one column right and one pixel (at most one row) down, behind the letters.
    int drop = std::min(2, look.halfRowsPerPixel);
    auto shade = [&](int x, int y) { return look.shadow && !ink.at(x, y) && ink.at(x - 1, y - drop); };
    int cellRows = (ink.height + 3) / 2;
    for (int r = 0; r < cellRows; ++r) {
        const Cell& colours = look.rowColours[std::min(size_t(r), look.rowColours.size() - 1)];
        for (int x = 0; x < ink.width + 1; ++x) {
            if (!page.contains(column + x, row + r)) continue;
            bool top = ink.at(x, 2 * r), bottom = ink.at(x, 2 * r + 1);
            bool shadeTop = shade(x, 2 * r), shadeBottom = shade(x, 2 * r + 1);
            Cell& cell = page.at(column + x, row + r);
            if (top && bottom) {
                // A row with a background is shaded: the dark shade lets that colour through.
                cell = {colours.bg >= 0 ? glyph::kDarkShade : glyph::kFullBlock, colours.fg, colours.bg};
            } else if (top || bottom) {
                // A half block's other half shows the shadow where it falls there, else what lies below.
                bool shadowBehind = top ? shadeBottom : shadeTop;
                cell = {top ? glyph::kUpperHalf : glyph::kLowerHalf, colours.fg,
                        shadowBehind ? look.shadowColour.fg : cell.bg};
            } else if (shadeTop || shadeBottom) {
                cell.ch = shadeTop && shadeBottom ? glyph::kMediumShade
                          : shadeTop              ? glyph::kUpperHalf
                                                  : glyph::kLowerHalf;
                cell.fg = look.shadowColour.fg;
                cell.bg = look.shadowColour.bg;
            }
        }
    }
}

} // namespace generators
