// Draws every glyph pixel of the character art as a small quad, laid out flat over the screen or
// wrapped round a rotating, breathing cylinder (CYLINDER_MODE blends the two), optionally scattered
// per pixel or per character. Instance n is glyph pixel n % 128 of cell n / 128 in the 256 x 96 cell
// grid; what the cell's vertices share (its character and colour, scatter and part of the layout)
// comes from the cell step that runs before this pass.
#include "char_cells.hlsli"
#include "context_buffer.hlsli"
#include "stored_matrix.hlsli"

Buffer<int> c64fontBuffer : register(t0);
StructuredBuffer<CharCell> charCells : register(t4);

static const uint kGlyphPixels = kGlyphWidth * kGlyphHeight;
static const float kExplosionThreshold = 0.001;

struct CylinderVertex
{
    float4 position : SV_POSITION;
    [[vk::location(0)]] float2 uv : TEXCOORD0;
    [[vk::location(1)]] float4 colour : TEXCOORD1;
};

// How one of the two explosions moves a quad: it is on above kExplosionThreshold.
struct Scatter
{
    float amount;
    float3 hash;  // sideways and vertical flight, and depth
    float2 turn;  // cosine and sine of the angle the quad turns by
    float2 from;  // the quad's place in -1..1 units: the further out, the further it flies
};

// Colour of glyph pixel (px, py) of the cell: the cell's colour where its character has ink, opaque
// black elsewhere.
float4 glyphPixelColour(CharCell cell, uint px, uint py)
{
    // The font's rows run bottom-up relative to the grid, so grid row py shows font row 15 - py.
    bool set = c64fontBuffer[(kGlyphHeight - 1 - py) * kGlyphWidth + px + kGlyphPixels * cell.code] == 1;
    return set ? cell.colour : float4(0, 0, 0, 1);
}

// Corner of a two-triangle quad in -1/+1 units, y pointing down the grid.
float2 quadCorner(uint vertexId)
{
    uint c = vertexId % 6;
    float sx = (c == 1 || c == 4 || c == 5) ? 1.0 : -1.0;
    float sy = (c == 2 || c == 3 || c == 5) ? -1.0 : 1.0;
    return float2(sx, sy);
}

// Scatters a flat quad away from the screen centre by a random amount and turns it a little.
void explodeFlat(inout float2 centre, inout float2 corner, Scatter s)
{
    if (s.amount <= kExplosionThreshold)
        return;
    float e = 0.2 * s.amount;
    centre.x += e * (2.0 * s.hash.x + 1.0) * s.from.x;
    centre.y -= e * (2.0 * s.hash.y + 1.0) * s.from.y;
    corner = float2(s.turn.x * corner.x - s.turn.y * corner.y, s.turn.y * corner.x + s.turn.x * corner.y);
}

// The same scatter in the cylinder's space, where it also pushes towards the viewer.
float3 explodeCylinder(float3 p, Scatter s)
{
    if (s.amount <= kExplosionThreshold)
        return p;
    float e = 0.2 * s.amount;
    return p + float3(e * (2.0 * s.hash.x + 1.0) * s.from.x, -e * (2.0 * s.hash.y + 1.0) * s.from.y,
                      -e * s.hash.z);
}

float4 flatPosition(float2 gridPixel, float2 corner, Scatter pixel, Scatter character)
{
    float2 centre = float2((gridPixel.x + 0.5) * 2.0 / kGridPixelsX - 1.0,
                           1.0 - (gridPixel.y + 0.5) * 2.0 / kGridPixelsY);
    float2 offset = corner / float2(kGridPixelsX, kGridPixelsY);
    explodeFlat(centre, offset, pixel);
    explodeFlat(centre, offset, character);
    return float4(centre + offset, 0, 1);
}

// The grid wrapped round the cylinder (the cell's row gives radius, breathing and the angle of each
// glyph column), then turned by the rotation tracks and projected.
float4 cylinderPosition(float2 gridPixel, CharCell cell, uint px, float2 corner, Scatter pixel,
                        Scatter character)
{
    float2 offset = float2(0.025 * corner.x, -0.025 * corner.y) * cell.wobble;
    float s = cell.around[px].x, c = cell.around[px].y;
    // 38.4 centres the 96 rows of 0.8 units vertically.
    float3 p = float3(cell.radius * s + c * offset.x, 38.4 - 0.05 * gridPixel.y + offset.y,
                      -cell.radius * c + s * offset.x);

    float4 t = cell.turn;
    p = float3(p.x, t.x * p.y - t.y * p.z, t.y * p.y + t.x * p.z);
    p = float3(t.z * p.x + t.w * p.z, p.y, -t.w * p.x + t.z * p.z);
    p.z += CYLINDER_OFFSET_Z;

    p = explodeCylinder(p, pixel);
    p = explodeCylinder(p, character);
    return transformRowVector(float4(p, 1), projectionMatrix);
}

CylinderVertex vertex_main(uint vertexId : SV_VertexID, uint instance : SV_InstanceID)
{
    uint k = instance % kGlyphPixels;
    uint px = k % kGlyphWidth;
    uint py = k / kGlyphWidth;
    uint q = instance / kGlyphPixels;
    uint column = q % kGridColumns;
    uint row = q / kGridColumns;

    CylinderVertex output;
    output.uv = float2(0, 0);
    if (row >= kGridRows)
    {
        // Instances past the grid collapse far outside the view.
        output.position = float4(-10000, -10000, -10000, 1);
        output.colour = float4(0, 0, 0, 1);
        return output;
    }

    CharCell cell = charCells[row * kGridColumns + column];
    output.colour = glyphPixelColour(cell, px, py);

    float2 gridPixel = float2(column * kGlyphWidth + px, row * kGlyphHeight + py);
    float2 corner = quadCorner(vertexId);

    Scatter pixel;
    pixel.amount = CYLINDER_EXPLOSION_AMOUNT;
    pixel.hash = float3(0, 0, 0);
    pixel.turn = float2(1, 0);
    pixel.from = 2.0 * gridPixel / float2(kGridPixelsX, kGridPixelsY) - 1.0;
    // The pixel's own hashes and turn are worked out only while the pixel explosion is on.
    if (pixel.amount > kExplosionThreshold)
    {
        pixel.hash = scatterHashes(gridPixel);
        pixel.turn = explosionTurn(pixel.hash.x, pixel.amount);
    }
    Scatter character;
    character.amount = CHAR_EXPLOSION_AMOUNT;
    character.hash = cell.scatter;
    character.turn = cell.charTurn;
    character.from = 2.0 * float2(column, row) / float2(kGridColumns, kGridRows) - 1.0;

    float4 flat = flatPosition(gridPixel, corner, pixel, character);
    output.position = flat;
    // The cylinder layout is worked out only where it shows.
    if (CYLINDER_MODE != 0.0)
    {
        float4 cylinder = cylinderPosition(gridPixel, cell, px, corner, pixel, character);
        output.position = flat + CYLINDER_MODE * (cylinder - flat);
    }
    return output;
}
