// Draws every glyph pixel of the character art that may cover a pixel as a small quad (see
// char_cylinder_quad.hlsli for where its corners land). Instance i draws quad keptQuads[i]: the quads the
// cull step kept, in their grid order. Each cell's character and colour come from the character choice
// that runs before this pass.
#include "char_cylinder_quad.hlsli"
#include "targets.hlsli"

Buffer<int> c64fontBuffer : register(t0);
StructuredBuffer<CellCharacter> cellCharacters : register(t4);
StructuredBuffer<uint> keptQuads : register(t5);

struct CylinderVertex
{
    float4 position : SV_POSITION;
    STAGE_LOCATION(0) float2 uv : TEXCOORD0;
    STAGE_LOCATION(1) float4 colour : TEXCOORD1;
};

// Colour of glyph pixel (px, py) of the cell: the cell's colour where its character has ink, opaque
// black elsewhere.
float4 glyphPixelColour(uint column, uint row, uint px, uint py)
{
    CellCharacter cell = cellCharacters[row * kGridColumns + column];
    // The font's rows run bottom-up relative to the grid, so grid row py shows font row 15 - py.
    bool set = c64fontBuffer[(kGlyphHeight - 1 - py) * kGlyphWidth + px + kGlyphPixels * cell.code] == 1;
    return set ? cell.colour : float4(0, 0, 0, 1);
}

// Corner of a quad in -1/+1 units, y pointing down the grid: 0 top left, 1 top right, 2 bottom left,
// 3 bottom right. The index buffer makes the two triangles 0 1 2 and 2 1 3 of them.
float2 quadCorner(uint vertexId)
{
    float sx = (vertexId & 1) != 0 ? 1.0 : -1.0;
    float sy = vertexId >= 2 ? -1.0 : 1.0;
    return float2(sx, sy);
}

CylinderVertex vertex_main(uint vertexId : SV_VertexID, uint instance : SV_InstanceID)
{
    GlyphPixel g = glyphPixelOf(keptQuads[instance]);
    CylinderVertex output;
    output.uv = float2(0, 0);
    output.colour = glyphPixelColour(g.column, g.row, g.px, g.py);
    output.position = glyphQuadCorner(g, quadCorner(vertexId));
    return output;
}
