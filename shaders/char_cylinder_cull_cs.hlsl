// Finds, for every cell of the character grid, which of its 128 glyph pixels' quads may cover a pixel of
// the cylinder image: the rest are dropped before the cylinder draws. A quad is dropped only when it
// certainly draws nothing: all four corners lie in front of the eye and its screen rectangle, widened by a
// margin, holds no pixel centre. The margin exceeds the rasteriser's sub-pixel snapping (1/256 pixel) and
// any rounding between this program and the vertex program, which place the corners with the same code.
// One thread per cell writes a bit per glyph pixel (bit k % 32 of word k / 32 for glyph pixel k) and the
// number of quads kept.
//
// Unless the pixel explosion scatters the glyph pixels one by one (the character explosion moves and
// turns whole cells), the quads of one column of a glyph lie on a straight line of the grid: every corner
// moves in clip space by the same step from one glyph row to the next, so the corners of the top and
// bottom quads place the others, and all sixteen lie within the screen rectangle of those eight corners.
// A column whose rectangle holds no pixel centre is dropped whole.
#include "char_cylinder_quad.hlsli"
#include "targets.hlsli"

RWStructuredBuffer<uint4> cellMasks : register(u0);
RWStructuredBuffer<uint> cellCounts : register(u1);

static const float kMargin = 1.0 / 64.0;
// Corners placed from a column's ends round differently from the vertex program's own: a wider margin,
// widened further by the placement's rounding as seen on the screen (see placementSlack).
static const float kColumnMargin = 1.0 / 32.0;
static const float kRelativeError = 1.0 / 262144.0;

// The screen rectangle of clip-space points, point by point. A point behind the eye, or one whose place
// is not a finite number, leaves it open: it may then cover anything.
struct ScreenRect
{
    float2 lo;
    float2 hi;
    bool open;
};

ScreenRect emptyRect()
{
    ScreenRect r;
    r.lo = float2(3.0e38, 3.0e38);
    r.hi = -r.lo;
    r.open = false;
    return r;
}

void include(inout ScreenRect r, float4 c)
{
    // The viewport's own mapping: x from the left, y from the top.
    float2 s = float2((c.x / c.w + 1.0) * 0.5 * resolution.x, (1.0 - c.y / c.w) * 0.5 * resolution.y);
    r.open = r.open || !(c.w > 0.0) || !(abs(s.x) < 3.0e38 && abs(s.y) < 3.0e38);
    r.lo = min(r.lo, s);
    r.hi = max(r.hi, s);
}

// Whether the rectangle, widened by `margin`, may hold a pixel centre of the resolution-sized viewport.
bool mayHoldPixelCentre(ScreenRect r, float margin)
{
    float2 lo = r.lo - margin;
    float2 hi = r.hi + margin;
    // Pixel centres lie at n + 0.5 for n = 0 to size - 1: the first one at or after lo, if any, must not
    // lie after hi.
    float2 first = max(ceil(lo - 0.5), 0.0) + 0.5;
    return r.open || (all(first <= hi) && all(first < resolution));
}

// The four corners of a glyph pixel's quad, in the vertex program's order.
void quadCorners(GlyphPixel g, out float4 corners[4])
{
    corners[0] = glyphQuadCorner(g, float2(-1.0, 1.0));
    corners[1] = glyphQuadCorner(g, float2(1.0, 1.0));
    corners[2] = glyphQuadCorner(g, float2(-1.0, -1.0));
    corners[3] = glyphQuadCorner(g, float2(1.0, -1.0));
}

// How far, in pixels, a corner placed from a column's ends may land from where the vertex program puts
// it. Both round to some units in the last place of the clip coordinates' magnitude (a generous 2^-18
// of it here); on the screen that error is divided by the depth w, and x / w and y / w move with w's own
// error, the more the further off-centre the corner lies. A column reaching behind the eye keeps every
// quad.
float placementSlack(float4 top[4], float4 bottom[4])
{
    float scale = 1.0;
    float nearest = 3.0e38;
    for (uint i = 0; i < 4; ++i)
    {
        scale = max(scale, max(max(abs(top[i].x), abs(top[i].y)), abs(top[i].w)));
        scale = max(scale, max(max(abs(bottom[i].x), abs(bottom[i].y)), abs(bottom[i].w)));
        nearest = min(nearest, min(top[i].w, bottom[i].w));
    }
    float error = kRelativeError * scale;
    float slack = error * (1.0 + scale / nearest) / nearest * 0.5 * max(resolution.x, resolution.y);
    return nearest > 0.0 ? slack : 3.0e38;
}

// Sets bit k of the 128, in the word k / 32, without indexing the vector by a variable.
void keep(inout uint4 mask, inout uint count, uint k)
{
    mask |= uint4(k / 32 == uint4(0, 1, 2, 3)) << (k % 32);
    ++count;
}

[numthreads(8, 8, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    uint cell = id.y * kGridColumns + id.x;
    uint first = cell * kGlyphPixels;
    uint4 mask = uint4(0, 0, 0, 0);
    uint count = 0;
    // Which of the two ways runs is the same for every cell: a loop whose bounds leave it out costs a CPU
    // renderer a single pass through its body, where a branch would cost it both ways.
    bool scattered = CYLINDER_EXPLOSION_AMOUNT > kExplosionThreshold;

    // Scattered: every quad on its own.
    LOOP_IN_DXBC for (uint k = 0; k < (scattered ? kGlyphPixels : 0); ++k)
    {
        float4 corners[4];
        quadCorners(glyphPixelOf(first + k), corners);
        ScreenRect r = emptyRect();
        for (uint i = 0; i < 4; ++i)
            include(r, corners[i]);
        if (mayHoldPixelCentre(r, kMargin))
            keep(mask, count, k);
    }

    // Straight columns: the top and bottom quads place the rest.
    LOOP_IN_DXBC for (uint px = 0; px < (scattered ? 0 : kGlyphWidth); ++px)
    {
        float4 top[4], bottom[4];
        quadCorners(glyphPixelOf(first + px), top);
        quadCorners(glyphPixelOf(first + (kGlyphHeight - 1) * kGlyphWidth + px), bottom);
        ScreenRect column = emptyRect();
        for (uint i = 0; i < 4; ++i)
        {
            include(column, top[i]);
            include(column, bottom[i]);
        }
        float margin = kColumnMargin + placementSlack(top, bottom);
        if (!mayHoldPixelCentre(column, margin))
            continue;
        LOOP_IN_DXBC for (uint py = 0; py < kGlyphHeight; ++py)
        {
            float t = float(py) / float(kGlyphHeight - 1);
            ScreenRect r = emptyRect();
            for (uint j = 0; j < 4; ++j)
                include(r, top[j] + (bottom[j] - top[j]) * t);
            if (mayHoldPixelCentre(r, margin))
                keep(mask, count, py * kGlyphWidth + px);
        }
    }
    cellMasks[cell] = mask;
    cellCounts[cell] = count;
}
