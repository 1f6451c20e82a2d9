// Drawing on pages shared by the page sources and the animation generators.
#pragma once

#include "generators/pagegen/cells.h"

namespace generators {

// Code page 437 characters the artwork is built from.
namespace glyph {
constexpr int kSpace = 32, kLightShade = 176, kMediumShade = 177, kDarkShade = 178, kFullBlock = 219,
              kLowerHalf = 220, kUpperHalf = 223, kSmallDot = 250;
}

// Writes a cell when it lies on the page; drawing that runs past an edge is clipped, not an error.
void putCell(Page& page, int x, int y, int ch, const Cell& colours);

// A frame of single (─│┌┐└┘) or double (═║╔╗╚╝) box-drawing lines.
void drawBox(Page& page, int x, int y, int width, int height, bool doubleLine, const Cell& colours);

// True for a cell that shows something: a glyph other than blank, or a background.
bool isVisible(const Cell& cell);

} // namespace generators
