// A CPU rendering of text-mode cells exactly as the text layers draw them, for reviewing the pages
// without a GPU: one 8 x 16 glyph per cell, set pixels in the foreground colour (or the layer's own
// colour where the layer does not take it from the palette), clear pixels in the background colour, and
// cells without a background left to the opaque black that the layers are drawn over.
#pragma once

#include "content/assets.h"

#include <cstdint>
#include <vector>

namespace tools {

struct LayerLook {
    assets::IntTable font;
    assets::FloatTable palette;
    bool foregroundFromPalette = true;
    float layerColour[3] = {0, 0, 0};
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // three bytes per pixel, rows from the top
};

// Renders one frame of a set of cell pages; a frame past the last one renders black, as the layers find
// no cells there.
Image renderFrame(const assets::CellPages& pages, uint32_t frame, const LayerLook& look);

// The frames side by side, `across` per row, each scaled down by `shrink` (averaging the pixels).
Image contactSheet(const std::vector<Image>& frames, int across, int shrink);

} // namespace tools
