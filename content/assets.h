// The built-in tables of the show: the font bitmaps, the palettes and the text-mode cell pages. They are
// generated at build time from the readable sources in content/data/ (see generators/pagegen) and handed to
// the data buffers of the scene as they are: a pointer to the elements and their count.
#pragma once

#include <cstdint>

namespace assets {

template <typename T> struct Table {
    const T* elements;
    uint32_t elementCount;
};
using IntTable = Table<int32_t>; // data buffers of element type 0 (32-bit signed integer)
using FloatTable = Table<float>; // data buffers of element type 1 (32-bit float)

// Cell pages: three integers per cell (character code, foreground index, background index, -1 for none),
// frame after frame, each frame row after row: elementCount = 3 * columns * rows * frames.
struct CellPages : IntTable {
    uint32_t columns;
    uint32_t rows;
    uint32_t frames;
};

// 8 x 16 code page 437 font, 256 glyphs of 128 pixels (1 set, 0 clear), glyph g at g * 128, rows from
// the top. Three separate tables with identical contents, so that each pass owns its own buffer.
extern const IntTable cylinderFont;
extern const IntTable c64fontBuffer;
extern const IntTable fontBuffer3;

// Red, green, blue floats per colour: 16 colours for the text pages, 256 for the cylinder's page.
extern const FloatTable colorpalette;
extern const FloatTable cylinderPalette;

extern const CellPages textBuffer1;   // backdrop, 120 x 34, 29 frames (L1_FRAME)
extern const CellPages textBuffer2;   // credits and greetings scroller, 80 x 213, one page
extern const CellPages textBuffer3;   // the logo building up, 120 x 34, 28 frames (L3_FRAME)
extern const CellPages textBuffer4;   // logo with glitches, wipes and flashes, 120 x 34, 29 frames (L1_FRAME)
extern const CellPages textBuffer5;   // title pulse, 120 x 34, 29 frames (L5_FRAME)
extern const CellPages textBuffer6;   // spare pages, 80 x 25, 16 frames, codes up to 505
extern const CellPages cylinderCells; // the cylinder pass's spare page, 80 x 212, colours up to 200

} // namespace assets
