// Finds, for every cell of the character grid, which of its 128 glyph pixels' quads may cover a pixel of
// the cylinder image: the rest are dropped before the cylinder draws. A quad is dropped only when it
// certainly draws nothing: all four corners lie in front of the eye and its screen rectangle, widened by
// kMargin, holds no pixel centre. The margin exceeds the rasteriser's sub-pixel snapping (1/256 pixel) and
// any rounding between this program and the vertex program, which place the corners with the same code.
// One thread per cell writes a bit per glyph pixel (bit k % 32 of word k / 32 for glyph pixel k) and the
// number of quads kept.
#include "char_cylinder_quad.hlsli"
#include "targets.hlsli"

RWStructuredBuffer<uint4> cellMasks : register(u0);
RWStructuredBuffer<uint> cellCounts : register(u1);

static const float kMargin = 1.0 / 64.0;

// Whether the quad with these clip-space corners may cover a pixel centre of the resolution-sized
// viewport. A corner behind the eye, or one whose place is not a finite number, keeps the quad.
bool mayCoverPixel(float4 corners[4])
{
    float2 lo = float2(3.0e38, 3.0e38);
    float2 hi = -lo;
    for (uint i = 0; i < 4; ++i)
    {
        float4 c = corners[i];
        if (!(c.w > 0.0))
            return true;
        // The viewport's own mapping: x from the left, y from the top.
        float2 s = float2((c.x / c.w + 1.0) * 0.5 * resolution.x, (1.0 - c.y / c.w) * 0.5 * resolution.y);
        if (!(abs(s.x) < 3.0e38 && abs(s.y) < 3.0e38))
            return true;
        lo = min(lo, s);
        hi = max(hi, s);
    }
    lo -= kMargin;
    hi += kMargin;
    // Pixel centres lie at n + 0.5 for n = 0 to size - 1: the first one at or after lo, if any, must not
    // lie after hi.
    float2 first = max(ceil(lo - 0.5), 0.0) + 0.5;
    return all(first <= hi) && all(first < resolution);
}

[numthreads(8, 8, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    uint cell = id.y * kGridColumns + id.x;
    uint4 mask = uint4(0, 0, 0, 0);
    uint count = 0;
    LOOP_IN_DXBC for (uint k = 0; k < kGlyphPixels; ++k)
    {
        GlyphPixel g = glyphPixelOf(cell * kGlyphPixels + k);
        float4 corners[4] = {glyphQuadCorner(g, float2(-1.0, 1.0)), glyphQuadCorner(g, float2(1.0, 1.0)),
                             glyphQuadCorner(g, float2(-1.0, -1.0)), glyphQuadCorner(g, float2(1.0, -1.0))};
        if (mayCoverPixel(corners))
        {
            // Bit k of the 128: set in the word k / 32 without indexing the vector by a variable.
            mask |= uint4(k / 32 == uint4(0, 1, 2, 3)) << (k % 32);
            ++count;
        }
    }
    cellMasks[cell] = mask;
    cellCounts[cell] = count;
}
