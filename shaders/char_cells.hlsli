#ifndef CHAR_CELLS_HLSLI
#define CHAR_CELLS_HLSLI

// The character grid of the cylinder: 256 x 96 cells of 8 x 16 glyph pixels. The character choice
// fills one record per cell, row by row, and the cylinder's vertex program reads it.
static const uint kGridColumns = 256;
static const uint kGridRows = 96;

// 32 bytes a record on every target: SPIR-V pads the structure to the colour's 16-byte alignment, DXBC
// would pack it into 20 bytes, so the padding is written out.
struct CellCharacter
{
    float4 colour; // the picture at the cell's centre, shown where the glyph has ink
    uint code;     // the glyph that stands for the cell
    uint unused0, unused1, unused2;
};

#endif
