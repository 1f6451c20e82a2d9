// Writes the numbers of the kept quads, in grid order, for the cylinder draw to read: the quads of each
// cell from the cell's offset on, in glyph-pixel order. One thread per cell.
#include "char_cylinder_quad.hlsli"

StructuredBuffer<uint4> cellMasks : register(t0);
StructuredBuffer<uint> cellOffsets : register(t1);
RWStructuredBuffer<uint> keptQuads : register(u2);

[numthreads(8, 8, 1)]
void kernel_main(uint3 id : SV_DispatchThreadID)
{
    uint cell = id.y * kGridColumns + id.x;
    uint4 mask = cellMasks[cell];
    uint at = cellOffsets[cell];
    for (uint w = 0; w < 4; ++w)
    {
        uint bits = mask[w];
        while (bits != 0)
        {
            keptQuads[at++] = cell * kGlyphPixels + w * 32 + firstbitlow(bits);
            bits &= bits - 1;
        }
    }
}
