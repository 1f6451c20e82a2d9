#include "tools/pages/page_preview.h"

#include <algorithm>
#include <cmath>

namespace tools {

namespace {

constexpr int kGlyphWidth = 8, kGlyphHeight = 16;

struct Rgb {
    float r = 0, g = 0, b = 0;
};

// The palette as the layers index it: colour c reads entries 3 * (c mod 256) onwards, and an entry past
// the end of the buffer reads as 0.
Rgb paletteColour(const assets::FloatTable& palette, int32_t index) {
    uint32_t base = 3u * (uint32_t(index) % 256u);
    auto entry = [&](uint32_t i) { return i < palette.elementCount ? palette.elements[i] : 0.0f; };
    return {entry(base), entry(base + 1), entry(base + 2)};
}

// A glyph pixel is set when the font holds 1 there; codes whose glyph would lie past the end of the font
// buffer read 0 and so are never set.
bool glyphPixel(const assets::IntTable& font, int32_t ch, int x, int y) {
    if (ch <= 0) return false;
    uint64_t index = uint64_t(ch) * kGlyphWidth * kGlyphHeight + uint64_t(y) * kGlyphWidth + uint64_t(x);
    return index < font.elementCount && font.elements[index] == 1;
}

uint8_t toByte(float v) {
    return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

} // namespace

Image renderFrame(const assets::CellPages& pages, uint32_t frame, const LayerLook& look) {
    Image image;
    image.width = int(pages.columns) * kGlyphWidth;
    image.height = int(pages.rows) * kGlyphHeight;
    image.rgb.assign(size_t(image.width) * image.height * 3, 0);
    uint64_t cellsPerFrame = uint64_t(pages.columns) * pages.rows;
    for (uint32_t row = 0; row < pages.rows; ++row)
        for (uint32_t column = 0; column < pages.columns; ++column) {
            uint64_t cell = frame * cellsPerFrame + uint64_t(row) * pages.columns + column;
            if (3 * cell + 2 >= pages.elementCount) continue;
            const int32_t* c = pages.elements + 3 * cell;
            int32_t ch = c[0], fg = c[1], bg = c[2];
            Rgb foreground = look.foregroundFromPalette && fg >= 0
                                 ? paletteColour(look.palette, fg)
                                 : Rgb{look.layerColour[0], look.layerColour[1], look.layerColour[2]};
            for (int y = 0; y < kGlyphHeight; ++y)
                for (int x = 0; x < kGlyphWidth; ++x) {
                    bool set = glyphPixel(look.font, ch, x, y);
                    if (!set && bg < 0) continue;
                    Rgb colour = set ? foreground : paletteColour(look.palette, bg);
                    uint8_t* out = &image.rgb[((size_t(row) * kGlyphHeight + y) * image.width +
                                               column * kGlyphWidth + x) *
                                              3];
                    out[0] = toByte(colour.r);
                    out[1] = toByte(colour.g);
                    out[2] = toByte(colour.b);
                }
        }
    return image;
}

Image contactSheet(const std::vector<Image>& frames, int across, int shrink) {
    Image sheet;
    if (frames.empty()) return sheet;
    int w = frames[0].width / shrink, h = frames[0].height / shrink, gap = 4;
    int down = (int(frames.size()) + across - 1) / across;
    sheet.width = across * (w + gap) + gap;
    sheet.height = down * (h + gap) + gap;
    sheet.rgb.assign(size_t(sheet.width) * sheet.height * 3, 40);
    for (size_t i = 0; i < frames.size(); ++i) {
        int left = gap + int(i) % across * (w + gap), top = gap + int(i) / across * (h + gap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int channel = 0; channel < 3; ++channel) {
                    int sum = 0;
                    for (int sy = 0; sy < shrink; ++sy)
                        for (int sx = 0; sx < shrink; ++sx)
                            sum +=
                                frames[i]
                                    .rgb[((size_t(y) * shrink + sy) * frames[i].width + x * shrink + sx) * 3 +
                                         channel];
                    sheet.rgb[((size_t(top) + y) * sheet.width + left + x) * 3 + channel] =
                        uint8_t(sum / (shrink * shrink));
                }
    }
    return sheet;
}

} // namespace tools
