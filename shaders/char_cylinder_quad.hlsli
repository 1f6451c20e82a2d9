#ifndef CHAR_CYLINDER_QUAD_HLSLI
#define CHAR_CYLINDER_QUAD_HLSLI
// Where the corners of a glyph pixel's quad land: laid out flat over the screen or wrapped round a
// rotating, breathing cylinder (CYLINDER_MODE blends the two), optionally scattered per pixel or per
// character. Quad n is glyph pixel n % 128 of cell n / 128 in the 256 x 96 cell grid. The cylinder's
// vertex program and the step that drops the quads which cover no pixel both place corners here, so that
// they agree to the bit.
#include "char_cells.hlsli"
#include "context_buffer.hlsli"
#include "hash3.hlsli"
#include "stored_matrix.hlsli"

static const uint kGlyphWidth = 8;
static const uint kGlyphHeight = 16;
static const uint kGlyphPixels = kGlyphWidth * kGlyphHeight;
static const float kGridPixelsX = kGridColumns * kGlyphWidth; // 2048
static const float kGridPixelsY = kGridRows * kGlyphHeight;   // 1536
static const float kExplosionThreshold = 0.001;
static const float kPi = 3.141593;

// A glyph pixel: its cell and its place in the cell's 8 x 16 glyph.
struct GlyphPixel
{
    uint column;
    uint row;
    uint px;
    uint py;
};

GlyphPixel glyphPixelOf(uint quad)
{
    uint k = quad % kGlyphPixels;
    uint q = quad / kGlyphPixels;
    GlyphPixel g;
    g.px = k % kGlyphWidth;
    g.py = k / kGlyphWidth;
    g.column = q % kGridColumns;
    g.row = q / kGridColumns;
    return g;
}

float2 rotate2(float2 v, float angle)
{
    float c = cos(angle), s = sin(angle);
    return float2(c * v.x - s * v.y, s * v.x + c * v.y);
}

// Three independent random values for a grid position: sideways and vertical flight, and depth.
float3 scatterHashes(float2 p)
{
    return float3(hash3(p.xyx), hash3(float3(p.y, p.x + 123.45, p.y)),
                  hash3(float3(p.x + 87.65, p.y - 43.21, p.x + 87.65)));
}

// Scatters a flat quad away from the screen centre by a random amount and turns it a little.
// `from` is the quad's place in -1..1 units; the further out, the further it flies.
void explodeFlat(inout float2 centre, inout float2 corner, float amount, float3 h, float2 from)
{
    bool on = amount > kExplosionThreshold;
    float e = 0.2 * amount;
    float2 scattered = centre + float2(e * (2.0 * h.x + 1.0) * from.x, -(e * (2.0 * h.y + 1.0) * from.y));
    centre = on ? scattered : centre;
    corner = on ? rotate2(corner, (h.x - 0.5) * amount * 0.1) : corner;
}

// The same scatter in the cylinder's space, where it also pushes towards the viewer.
float3 explodeCylinder(float3 p, float amount, float3 h, float2 from)
{
    float e = 0.2 * amount;
    float3 scattered = p + float3(e * (2.0 * h.x + 1.0) * from.x, -e * (2.0 * h.y + 1.0) * from.y, -e * h.z);
    return amount > kExplosionThreshold ? scattered : p;
}

float4 flatPosition(float2 gridPixel, float2 corner, float3 pixelHash, float3 cellHash, float2 pixelAt,
                    float2 cellAt)
{
    float2 centre = float2((gridPixel.x + 0.5) * 2.0 / kGridPixelsX - 1.0,
                           1.0 - (gridPixel.y + 0.5) * 2.0 / kGridPixelsY);
    float2 offset = corner / float2(kGridPixelsX, kGridPixelsY);
    explodeFlat(centre, offset, CYLINDER_EXPLOSION_AMOUNT, pixelHash, pixelAt);
    explodeFlat(centre, offset, CHAR_EXPLOSION_AMOUNT, cellHash, cellAt);
    return float4(centre + offset, 0, 1);
}

// The grid wrapped round a cylinder whose radius breathes and whose rows spin at different rates
// (both per cell row, so characters stay whole), then turned by the rotation tracks and projected.
float4 cylinderPosition(float2 gridPixel, uint row, float2 corner, float3 pixelHash, float3 cellHash,
                        float2 pixelAt, float2 cellAt)
{
    float wobble = 1.0 + 0.6 * sin(3.0 * time + 0.1 * row);
    float radius = 0.9 * (0.4 * kGridColumns) / 6.283185 * wobble;
    float angle = (gridPixel.x / kGridPixelsX - 0.5) * 2.0 * kPi + (0.1 + 0.075 * row) * time;
    float2 offset = float2(0.025 * corner.x, -0.025 * corner.y) * wobble;
    float s = sin(angle), c = cos(angle);
    // 38.4 centres the 96 rows of 0.8 units vertically.
    float3 p =
        float3(radius * s + c * offset.x, 38.4 - 0.05 * gridPixel.y + offset.y, -radius * c + s * offset.x);

    float a = CYLINDER_ROTATION_X;
    p = float3(p.x, cos(a) * p.y - sin(a) * p.z, sin(a) * p.y + cos(a) * p.z);
    float b = CYLINDER_ROTATION_Y;
    p = float3(cos(b) * p.x + sin(b) * p.z, p.y, -sin(b) * p.x + cos(b) * p.z);
    p.z += CYLINDER_OFFSET_Z;

    p = explodeCylinder(p, CYLINDER_EXPLOSION_AMOUNT, pixelHash, pixelAt);
    p = explodeCylinder(p, CHAR_EXPLOSION_AMOUNT, cellHash, cellAt);
    return transformRowVector(float4(p, 1), projectionMatrix);
}

// The clip-space position of one corner of the glyph pixel's quad; `corner` is in -1/+1 units, y pointing
// down the grid.
float4 glyphQuadCorner(GlyphPixel g, float2 corner)
{
    float2 gridPixel = float2(g.column * kGlyphWidth + g.px, g.row * kGlyphHeight + g.py);
    float2 cellIndex = float2(g.column, g.row);
    // Both explosions' hashes and both layouts are worked out, then chosen by value: a CPU renderer runs
    // both ways of a branch anyway, and the choice gives the values the branches gave.
    float3 pixelHash = CYLINDER_EXPLOSION_AMOUNT > kExplosionThreshold ? scatterHashes(gridPixel) : 0;
    float3 cellHash = CHAR_EXPLOSION_AMOUNT > kExplosionThreshold ? scatterHashes(cellIndex) : 0;
    float2 pixelAt = 2.0 * gridPixel / float2(kGridPixelsX, kGridPixelsY) - 1.0;
    float2 cellAt = 2.0 * cellIndex / float2(kGridColumns, kGridRows) - 1.0;

    float4 flat = flatPosition(gridPixel, corner, pixelHash, cellHash, pixelAt, cellAt);
    float4 cylinder = cylinderPosition(gridPixel, g.row, corner, pixelHash, cellHash, pixelAt, cellAt);
    return CYLINDER_MODE == 0.0 ? flat : flat + CYLINDER_MODE * (cylinder - flat);
}

#endif
