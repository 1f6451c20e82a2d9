#ifndef TEXT_LAYER_TABLE_HLSLI
#define TEXT_LAYER_TABLE_HLSLI

#include "targets.hlsli"

// The nine text-mode layers. The vertex program places each layer's quad from this table and the
// pixel program decodes its cells from the same entries, so both include this one definition.

static const int kTextLayerCount = 9;
static const uint kFontC64 = 0;
static const uint kFont3 = 2;

struct TextLayer
{
    bool on;
    uint cols;
    uint rows;
    uint cells; // bound on the cell index: cols x rows x the frames the page was laid out for
    uint glyphHeightSelector; // 1: 16-row glyphs, else 8
    uint font; // kFontC64 or kFont3
    uint frames;
    uint frameBase;
    bool fixedFrame; // frame from the frame track instead of from time
    float frameTrack;
    float fps;
    bool fgFromPalette; // otherwise set glyph pixels take the layer colour
    float dispX;
    float dispY;
    float jitter;
    float cellZoom;
    float4 colour; // rgb for glyphs without a palette colour, a is the layer's opacity
    float3 position;
    bool cellAspect; // tall cells (0.8 units high) rather than square ones (0.4)
};

// Every scalar is spelled out so the table reads in the same columns for every layer.
TextLayer makeTextLayer(bool on, uint cols, uint rows, uint cells, uint font, uint frames, bool fixedFrame,
                        float frameTrack, float fps, bool fgFromPalette, float dispX, float dispY,
                        float jitter, float cellZoom, float4 colour, float3 position)
{
    TextLayer layer;
    layer.on = on;
    layer.cols = cols;
    layer.rows = rows;
    layer.cells = cells;
    layer.glyphHeightSelector = 1;
    layer.font = font;
    layer.frames = frames;
    layer.frameBase = 0;
    layer.fixedFrame = fixedFrame;
    layer.frameTrack = frameTrack;
    layer.fps = fps;
    layer.fgFromPalette = fgFromPalette;
    layer.dispX = dispX;
    layer.dispY = dispY;
    layer.jitter = jitter;
    layer.cellZoom = cellZoom;
    layer.colour = colour;
    layer.position = position;
    layer.cellAspect = true;
    return layer;
}

// Layer L (0-8) with its track-driven entries read from the current ContextBuffer.
TextLayer textLayer(int L)
{
    switch (L)
    {
    case 0:
        return makeTextLayer(true, 120, 34, 118320, kFontC64, 16, true, L1_FRAME, 16, false, 0, 0, 0, 0,
                             float4(0.05, 0.05, 0.05, L1TEXT_A), float3(L1_X, L1_Y, L1_Z));
    case 1:
        return makeTextLayer(true, 80, 213, 32000, kFontC64, 16, true, 0, 16, true, DISP_2X, DISP_2Y,
                             DISP_RANDOM, DISPZ_2, float4(0, 0, 0, L2TEXT_A), float3(0, L2_Y, 0));
    case 2:
        return makeTextLayer(true, 120, 34, 118320, kFontC64, 16, true, L3_FRAME, 16, true, 0, 0, 0, 0,
                             float4(0, 0, 0, L3TEXT_A), float3(0, 0, -14.5));
    case 3:
        return makeTextLayer(true, 120, 34, 118320, kFontC64, 16, true, L1_FRAME, 29, true, DISP_5X, DISP_5Y,
                             DISP_RANDOM, 0, float4(0, 0, 0, L1TEXT_A), float3(L1_X, L1_Y, L1_Z));
    case 4:
        return makeTextLayer(true, 120, 34, 118320, kFont3, 0, true, L5_FRAME, 0, true, DISP_5X, DISP_5Y, 0,
                             0, float4(0, 0, 0, L5TEXT_A), float3(0, L5_Y, L5_Z));
    default: // layers 5-8 are spare slots, switched off
        return makeTextLayer(false, 80, 25, 32000, kFont3, 0, false, 0, 0, false, 0, 0, 0, 0,
                             float4(0, 0, 0, 0), float3(0, 0, 0));
    }
}

// Stage interface of the text pass. The three integers travel unfiltered.
struct TextLayerVertex
{
    float4 position : SV_POSITION;
    STAGE_LOCATION(0) float2 cell : TEXCOORD0;
    STAGE_LOCATION(1) nointerpolation uint instance : TEXCOORD1;
    STAGE_LOCATION(2) nointerpolation uint backgroundMarker : TEXCOORD2;
    STAGE_LOCATION(3) nointerpolation int layer : TEXCOORD3;
};

#endif
