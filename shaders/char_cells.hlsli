#ifndef CHAR_CELLS_HLSLI
#define CHAR_CELLS_HLSLI

#include "hash3.hlsli"

// The character grid of the cylinder: 256 x 96 cells of 8 x 16 glyph pixels, 2048 x 1536 in all.
static const uint kGridColumns = 256;
static const uint kGridRows = 96;
static const uint kGlyphWidth = 8;
static const uint kGlyphHeight = 16;
static const float kGridPixelsX = kGridColumns * kGlyphWidth; // 2048
static const float kGridPixelsY = kGridRows * kGlyphHeight;   // 1536

// What the vertices of one cell share, worked out once per frame by the cell step and read by the
// cylinder's vertex program: the cell's character and colour, its scatter, and the parts of the
// cylinder layout that are the same for the whole cell (the rotation is even the same for every
// cell, and the wobble for a whole row): the vertex program then evaluates no trigonometry unless
// the pixel explosion is on. 128 bytes, laid out alike by the Direct3D and the Vulkan rules.
struct CharCell
{
    float4 colour;     // the picture at the cell's centre, shown where the glyph has ink
    float3 scatter;    // the cell's three random values for the character explosion
    uint code;         // the glyph that stands for the cell
    float4 turn;       // cosine and sine of CYLINDER_ROTATION_X, then of CYLINDER_ROTATION_Y
    float2 charTurn;   // cosine and sine of the angle the character explosion turns the cell's quads by
    float wobble;      // the breathing of the cell's row
    float radius;      // the radius of the cell's row
    float2 around[8];  // sine and cosine of the angle round the cylinder of each glyph column
};

// Three independent random values for a grid position: sideways and vertical flight, and depth.
float3 scatterHashes(float2 p)
{
    return float3(hash3(p.xyx), hash3(float3(p.y, p.x + 123.45, p.y)),
                  hash3(float3(p.x + 87.65, p.y - 43.21, p.x + 87.65)));
}

// Cosine and sine of the angle a scattered quad turns by: h is its first random value.
float2 explosionTurn(float h, float amount)
{
    float angle = (h - 0.5) * amount * 0.1;
    return float2(cos(angle), sin(angle));
}

#endif
