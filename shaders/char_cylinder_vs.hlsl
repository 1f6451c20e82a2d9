// Turns the source picture into character art and draws every glyph pixel as a small quad, laid out
// flat over the screen or wrapped round a rotating, breathing cylinder (CYLINDER_MODE blends the
// two), optionally scattered per pixel or per character. Instance n is glyph pixel n % 128 of cell
// n / 128 in a 256 x 96 cell grid; every vertex recomputes its cell's character, so no pass
// precomputes the character image.
#include "context_buffer.hlsli"
#include "hash3.hlsli"
#include "stored_matrix.hlsli"

Buffer<int> c64fontBuffer : register(t0);
Texture2D imageTexture : register(t4);
SamplerState smpLinearClamp : register(s0);

static const uint kGridColumns = 256;
static const uint kGridRows = 96;
static const uint kGlyphWidth = 8;
static const uint kGlyphHeight = 16;
static const uint kGlyphPixels = kGlyphWidth * kGlyphHeight;
static const float kGridPixelsX = kGridColumns * kGlyphWidth; // 2048
static const float kGridPixelsY = kGridRows * kGlyphHeight;   // 1536
static const float3 kLumaWeights = float3(0.299, 0.587, 0.114);
static const float kExplosionThreshold = 0.001;
static const float kPi = 3.141593;

// The characters the picture may turn into: their code, the brightness they stand for, and how
// bright they look in six regions of the cell (top-left, top-right, middle-left, middle-right,
// bottom-left, bottom-right), so edges in the picture pick slashes, bars and half blocks.
static const uint kPaletteSize = 31;
static const uint kCharCodes[kPaletteSize] = {32, 46,  39,  45,  95,  47,  92,  124, 58, 43, 61,
                                              76, 84,  111, 88,  72,  77,  87,  146, 35, 1,  64,
                                              2,  221, 222, 220, 223, 176, 177, 178, 219};
static const float kCharTargets[kPaletteSize] = {
    0,    0.02, 0.03, 0.04, 0.06, 0.07, 0.08, 0.09, 0.1, 0.14, 0.16, 0.2,  0.22, 0.24, 0.28, 0.33,
    0.34, 0.36, 0.42, 0.48, 0.55, 0.6,  0.63, 0.49, 0.5, 0.51, 0.52, 0.66, 0.75, 0.85, 0.95};
static const float kCharRegions[kPaletteSize * 6] = {
    0,    0,    0,    0,    0,    0,    //  32 ' '
    0,    0,    0,    0,    0.08, 0.08, //  46 '.'
    0.12, 0.08, 0,    0,    0,    0,    //  39 '''
    0,    0,    0.3,  0.3,  0,    0,    //  45 '-'
    0,    0,    0,    0,    0.3,  0.3,  //  95 '_'
    0,    0.35, 0.15, 0.2,  0.35, 0,    //  47 '/'
    0.35, 0,    0.2,  0.15, 0,    0.35, //  92 '\'
    0.08, 0.08, 0.3,  0.3,  0.08, 0.08, // 124 '|'
    0,    0,    0.15, 0.15, 0.12, 0.12, //  58 ':'
    0.05, 0.05, 0.35, 0.35, 0.05, 0.05, //  43 '+'
    0,    0,    0.38, 0.38, 0.38, 0.38, //  61 '='
    0.2,  0,    0.2,  0,    0.55, 0.15, //  76 'L'
    0.5,  0.5,  0.05, 0.28, 0.05, 0.28, //  84 'T'
    0.25, 0.25, 0.2,  0.2,  0.25, 0.25, // 111 'o'
    0.3,  0.3,  0.12, 0.12, 0.3,  0.3,  //  88 'X'
    0.35, 0.35, 0.4,  0.4,  0.35, 0.35, //  72 'H'
    0.55, 0.55, 0.35, 0.35, 0.3,  0.3,  //  77 'M'
    0.3,  0.3,  0.35, 0.35, 0.55, 0.55, //  87 'W'
    0.4,  0.4,  0.45, 0.45, 0.45, 0.45, // 146 ligature
    0.55, 0.55, 0.6,  0.6,  0.55, 0.55, //  35 '#'
    0.55, 0.55, 0.55, 0.55, 0.55, 0.55, //   1 face
    0.6,  0.6,  0.7,  0.7,  0.55, 0.55, //  64 '@'
    0.64, 0.64, 0.64, 0.64, 0.64, 0.64, //   2 filled face
    0.85, 0,    0.85, 0,    0.85, 0,    // 221 left half block
    0,    0.85, 0,    0.85, 0,    0.85, // 222 right half block
    0,    0,    0,    0,    0.85, 0.85, // 220 lower half block
    0.85, 0.85, 0,    0,    0,    0,    // 223 upper half block
    0.66, 0.66, 0.66, 0.66, 0.66, 0.66, // 176 light shade
    0.75, 0.75, 0.75, 0.75, 0.75, 0.75, // 177 medium shade
    0.85, 0.85, 0.85, 0.85, 0.85, 0.85, // 178 dark shade
    0.95, 0.95, 0.95, 0.95, 0.95, 0.95, // 219 full block
};
static const float2 kRegionOffsets[6] = {float2(0.25, 0.1667), float2(0.75, 0.1667), float2(0.25, 0.5),
                                         float2(0.75, 0.5),    float2(0.25, 0.8333), float2(0.75, 0.8333)};

struct CylinderVertex
{
    float4 position : SV_POSITION;
    [[vk::location(0)]] float2 uv : TEXCOORD0;
    [[vk::location(1)]] float4 colour : TEXCOORD1;
};

float luminance(float3 c)
{
    return dot(c, kLumaWeights);
}

// The palette entry that best matches the cell's brightness and its six region samples; on equal
// error the earlier entry stays.
uint chooseCharacter(float brightness, float regions[6])
{
    float bestError = 1e20;
    uint best = 0;
    [unroll] for (uint e = 0; e < kPaletteSize; ++e)
    {
        float d = brightness - kCharTargets[e];
        float error = 4.0 * d * d;
        [unroll] for (uint r = 0; r < 6; ++r)
        {
            float dr = regions[r] - kCharRegions[e * 6 + r];
            error += dr * dr;
        }
        if (error < bestError)
        {
            bestError = error;
            best = e;
        }
    }
    return kCharCodes[best];
}

// Colour of glyph pixel (px, py) in the cell at `cell` (top-left corner, 0..1 over the picture):
// the cell's picture colour where the chosen character has ink, opaque black elsewhere.
float4 glyphPixelColour(float2 cell, uint px, uint py)
{
    float2 cellSize = float2(1.0 / kGridColumns, 1.0 / kGridRows);
    float4 sample = imageTexture.SampleLevel(smpLinearClamp, cell + 0.5 * cellSize, 0);
    float brightness = saturate(1.5 * (luminance(sample.rgb) - 0.1));
    float regions[6];
    [unroll] for (uint r = 0; r < 6; ++r)
    {
        float2 at = saturate(cell + kRegionOffsets[r] * cellSize);
        regions[r] = luminance(imageTexture.SampleLevel(smpLinearClamp, at, 0).rgb);
    }
    uint code = chooseCharacter(brightness, regions);
    // The font's rows run bottom-up relative to the grid, so grid row py shows font row 15 - py.
    bool set = c64fontBuffer[(kGlyphHeight - 1 - py) * kGlyphWidth + px + kGlyphPixels * code] == 1;
    return set ? sample : float4(0, 0, 0, 1);
}

// Corner of a two-triangle quad in -1/+1 units, y pointing down the grid.
float2 quadCorner(uint vertexId)
{
    uint c = vertexId % 6;
    float sx = (c == 1 || c == 4 || c == 5) ? 1.0 : -1.0;
    float sy = (c == 2 || c == 3 || c == 5) ? -1.0 : 1.0;
    return float2(sx, sy);
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
    if (amount <= kExplosionThreshold)
        return;
    float e = 0.2 * amount;
    centre.x += e * (2.0 * h.x + 1.0) * from.x;
    centre.y -= e * (2.0 * h.y + 1.0) * from.y;
    corner = rotate2(corner, (h.x - 0.5) * amount * 0.1);
}

// The same scatter in the cylinder's space, where it also pushes towards the viewer.
float3 explodeCylinder(float3 p, float amount, float3 h, float2 from)
{
    if (amount <= kExplosionThreshold)
        return p;
    float e = 0.2 * amount;
    return p + float3(e * (2.0 * h.x + 1.0) * from.x, -e * (2.0 * h.y + 1.0) * from.y, -e * h.z);
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

    float2 cell = float2(column, row) / float2(kGridColumns, kGridRows);
    output.colour = glyphPixelColour(cell, px, py);

    float2 gridPixel = float2(column * kGlyphWidth + px, row * kGlyphHeight + py);
    float2 corner = quadCorner(vertexId);
    float3 pixelHash = scatterHashes(gridPixel);
    float2 cellIndex = float2(column, row);
    float3 cellHash = scatterHashes(cellIndex);
    float2 pixelAt = 2.0 * gridPixel / float2(kGridPixelsX, kGridPixelsY) - 1.0;
    float2 cellAt = 2.0 * cellIndex / float2(kGridColumns, kGridRows) - 1.0;

    float4 flat = flatPosition(gridPixel, corner, pixelHash, cellHash, pixelAt, cellAt);
    float4 cylinder = cylinderPosition(gridPixel, row, corner, pixelHash, cellHash, pixelAt, cellAt);
    output.position = flat + CYLINDER_MODE * (cylinder - flat);
    return output;
}
