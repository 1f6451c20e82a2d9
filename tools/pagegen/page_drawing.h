#pragma once
// Drawing on pages shared by the page sources and the animation generators.
#include "tools/pagegen/cells.h"

// Code page 437 characters the artwork is built from.
namespace Glyph {
constexpr int space = 32, lightShade = 176, mediumShade = 177, darkShade = 178, fullBlock = 219,
              lowerHalf = 220, upperHalf = 223, smallDot = 250;
}

// Writes a cell when it lies on the page; drawing that runs past an edge is clipped, not an error.
void putCell(Page& page, int x, int y, int ch, const Cell& colours);

// A frame of single (─│┌┐└┘) or double (═║╔╗╚╝) box-drawing lines.
void drawBox(Page& page, int x, int y, int width, int height, bool doubleLine, const Cell& colours);

// True for a cell that shows something: a glyph other than blank, or a background.
bool isVisible(const Cell& cell);
