// Decodes the character cells of a text layer: finds the cell under the pixel (after displacement,
// jitter and per-cell zoom), looks the glyph pixel up in the layer's font and colours it from the
// palette. Instance 0's quad arrives marked and is painted opaque black.
#include "context_buffer.hlsli"
#include "hash3.hlsli"
#include "text_layer_table.hlsli"

Buffer<int> c64fontBuffer : register(t0);
Buffer<int> textBuffer1 : register(t1);
Buffer<int> textBuffer2 : register(t2);
Buffer<int> textBuffer3 : register(t3);
Buffer<int> textBuffer4 : register(t4);
Buffer<int> textBuffer5 : register(t5);
Buffer<int> textBuffer6 : register(t6);
Buffer<int> textBuffer7 : register(t7);
Buffer<int> textBuffer8 : register(t8);
Buffer<int> textBuffer9 : register(t9);
Buffer<float> colorpalette : register(t10);
Buffer<int> fontBuffer3 : register(t12);

static const float4 kTransparent = float4(0, 0, 0, 0);
// Opacities this small are treated as "layer hidden", backgrounds included.
static const float kAlphaDiscard = 0.001;

int loadText(int L, uint i)
{
    switch (L)
    {
    case 0: return textBuffer1[i];
    case 1: return textBuffer2[i];
    case 2: return textBuffer3[i];
    case 3: return textBuffer4[i];
    case 4: return textBuffer5[i];
    case 5: return textBuffer6[i];
    case 6: return textBuffer7[i];
    case 7: return textBuffer8[i];
    default: return textBuffer9[i];
    }
}

bool glyphPixelSet(uint font, uint index)
{
    int value = font == kFont3 ? fontBuffer3[index] : c64fontBuffer[index];
    return value == 1;
}

// Colour indices wrap at 256, the size of a full display palette.
float3 paletteColour(int index)
{
    uint base = 3 * (uint(index) % 256);
    return float3(colorpalette[base], colorpalette[base + 1], colorpalette[base + 2]);
}

// The page frame on show: from the layer's frame track, or running at the layer's rate.
uint layerFrame(TextLayer layer)
{
    // A negative track value has no unsigned meaning and shows the first frame; the upper clamp, far
    // past any page, keeps the conversion and the cell index arithmetic within 32 bits.
    if (layer.fixedFrame)
        return uint(clamp(layer.frameTrack, 0.0, 65536.0));
    return layer.frameBase + uint(layer.fps * time) % layer.frames;
}

// Moves the pixel position away from or towards the page's middle by a per-pixel random amount,
// then, when jitter is on, shakes the whole layer by one random offset per 60th of a second.
float2 displacedPosition(float2 p, TextLayer layer, int L, float glyphHeight)
{
    if (layer.dispX > 0 || layer.dispY > 0)
    {
        float h = hash3(float3(floor(p.x), floor(p.y), floor(p.x)));
        p.x += (p.x < layer.cols * 4.0 ? 1.0 : -1.0) * layer.dispX * h;
        p.y += (p.y < layer.rows * glyphHeight * 0.5 ? 1.0 : -1.0) * layer.dispY * h;
    }
    if (layer.jitter > 0)
    {
        float t = floor(time * 60.0);
        if (layer.dispX > 0)
            p.x += layer.jitter * (2.0 * hash3(float3(t + 1.1, 3.3 * L, t + 1.1)) - 1.0);
        if (layer.dispY > 0)
            p.y += layer.jitter * (2.0 * hash3(float3(t + 5.5, 7.7 * L, t + 5.5)) - 1.0);
    }
    return p;
}

// Random per-cell zoom amount in [-cellZoom, cellZoom]; 0 when the layer does not zoom.
float cellZoomAmount(TextLayer layer, int L, float2 cell, uint frame)
{
    if (layer.cellZoom <= 0)
        return 0.0;
    float x = floor(cell.x) + 91.7 * L;
    return layer.cellZoom * (2.0 * hash3(float3(x, 57.3 * frame + floor(cell.y), x)) - 1.0);
}

float4 layerColour(float2 uv, int L)
{
    TextLayer layer = textLayer(L);
    if (!layer.on || any(uv < 0.0) || any(uv > 1.0))
        return kTransparent;

    float glyphHeight = layer.glyphHeightSelector == 1 ? 16.0 : 8.0;
    uint frame = layerFrame(layer);
    float2 p = saturate(uv) * float2(layer.cols * 8.0, layer.rows * glyphHeight);
    p = displacedPosition(p, layer, L, glyphHeight);

    float2 cell = p / float2(8.0, glyphHeight);
    if (any(cell < 0.0) || cell.x >= layer.cols || cell.y >= layer.rows)
        return kTransparent;
    uint cellIndex = frame * layer.cols * layer.rows + uint(cell.y) * layer.cols + uint(cell.x);
    if (cellIndex >= layer.cells)
        return kTransparent;

    int character = loadText(L, 3 * cellIndex);
    int foreground = loadText(L, 3 * cellIndex + 1);
    int background = loadText(L, 3 * cellIndex + 2);
    // A page may hold fewer cells than its layer's bound. Both targets read an element past the end of a
    // bound buffer as 0, and no page holds character 0 on background 0, so that cell is past the end.
    if (character == 0 && (background == -1 || background == 0))
        return kTransparent;

    // A zoomed cell shows its glyph magnified (or shrunk) about the cell centre and darkened by the
    // amount of zoom.
    float zoom = cellZoomAmount(layer, L, cell, frame);
    float scale = max(1.0 - 0.06 * zoom, 0.05);
    float2 glyphUv = saturate((frac(cell) - 0.5) / scale + 0.5);
    // Keep the glyph's right column and bottom row when glyphUv reaches 1, instead of reading the
    // first pixel of the next row or of the next glyph.
    uint glyphX = min(uint(glyphUv.x * 8.0), 7u);
    uint glyphY = min(uint(glyphUv.y * glyphHeight), uint(glyphHeight) - 1);
    uint glyphIndex = glyphX + 8 * glyphY + 8 * uint(glyphHeight) * uint(character);
    bool set = character > 0 && glyphPixelSet(layer.font, glyphIndex);
    float shade = saturate(1.0 - 0.12 * abs(zoom));

    if (set)
    {
        bool fromPalette = layer.fgFromPalette && foreground >= 0;
        return float4((fromPalette ? paletteColour(foreground) : layer.colour.rgb) * shade, layer.colour.a);
    }
    if (background >= 0)
        return float4(paletteColour(background) * shade, layer.colour.a);
    return kTransparent;
}

float4 pixel_main(TextLayerVertex input) : SV_TARGET
{
    if (input.backgroundMarker != 0)
        return float4(0, 0, 0, 1);
    if (input.layer < 0 || input.layer >= kTextLayerCount)
        return kTransparent;

    float4 colour = layerColour(input.cell, input.layer);
    if (colour.a <= kAlphaDiscard)
        discard;
    return colour;
}
