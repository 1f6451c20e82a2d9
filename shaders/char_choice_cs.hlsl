// Chooses once per frame, for every cell of the character grid, the character that stands for the
// picture there and the colour it is drawn in; the cylinder's vertex program then reads the cell's
// record instead of choosing again for each of the cell's 768 vertices. One thread per cell: the
// dispatch of 256 x 96 threads covers the grid exactly.
#include "char_cells.hlsli"
#include "targets.hlsli"

Texture2D imageTexture : register(t0);
SamplerState smpLinearClamp : register(s0);
RWStructuredBuffer<CellCharacter> cellCharacters : register(u1);

static const float3 kLumaWeights = float3(0.299, 0.587, 0.114);

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
    LOOP_UNROLLED_IN_SPIRV for (uint e = 0; e < kPaletteSize; ++e)
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

[numthreads(8, 8, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    uint column = id.x;
    uint row = id.y;
    // The cell's top-left corner, 0..1 over the picture.
    float2 cell = float2(column, row) / float2(kGridColumns, kGridRows);
    float2 cellSize = float2(1.0 / kGridColumns, 1.0 / kGridRows);
    float4 sample = imageTexture.SampleLevel(smpLinearClamp, cell + 0.5 * cellSize, 0);
    float brightness = saturate(1.5 * (luminance(sample.rgb) - 0.1));
    float regions[6];
    [unroll] for (uint r = 0; r < 6; ++r)
    {
        float2 at = saturate(cell + kRegionOffsets[r] * cellSize);
        regions[r] = luminance(imageTexture.SampleLevel(smpLinearClamp, at, 0).rgb);
    }
    CellCharacter result;
    result.colour = sample;
    result.code = chooseCharacter(brightness, regions);
    cellCharacters[row * kGridColumns + column] = result;
}
