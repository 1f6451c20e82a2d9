#include "generators/pagegen/page_drawing.h"

namespace generators {

void putCell(Page& page, int x, int y, int ch, const Cell& colours) {
    if (!page.contains(x, y)) return;
    page.at(x, y) = {ch, colours.fg, colours.bg};
}

void drawBox(Page& page, int x0, int y0, int width, int height, bool doubleLine, const Cell& colours) {
    constexpr int kHorizontal[2] = {196, 205}, kVertical[2] = {179, 186};
    constexpr int kTopLeft[2] = {218, 201}, kTopRight[2] = {191, 187}, kBottomLeft[2] = {192, 200},
                  kBottomRight[2] = {217, 188};
    int x1 = x0 + width - 1, y1 = y0 + height - 1, d = doubleLine;
    for (int x = x0 + 1; x < x1; ++x) {
        putCell(page, x, y0, kHorizontal[d], colours);
        putCell(page, x, y1, kHorizontal[d], colours);
    }
    for (int y = y0 + 1; y < y1; ++y) {
        putCell(page, x0, y, kVertical[d], colours);
        putCell(page, x1, y, kVertical[d], colours);
    }
    putCell(page, x0, y0, kTopLeft[d], colours);
    putCell(page, x1, y0, kTopRight[d], colours);
    putCell(page, x0, y1, kBottomLeft[d], colours);
    putCell(page, x1, y1, kBottomRight[d], colours);
}

bool isVisible(const Cell& cell) {
    return cell.bg >= 0 || (cell.ch != 0 && cell.ch != glyph::kSpace && cell.ch != 255);
}

} // namespace generators
