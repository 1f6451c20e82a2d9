#include "tools/tracks/canvas.h"

#include <algorithm>
#include <stb/stb_easy_font.h>
#include <string>

namespace tools {

Canvas::Canvas(int width, int height, Colour background)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height) * 3) {
    fill(0, 0, width, height, background);
}

void Canvas::fill(int x0, int y0, int x1, int y1, Colour colour, float alpha) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    const uint8_t source[3] = {colour.r, colour.g, colour.b};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint8_t* p = &pixels_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(float(p[c]) + (float(source[c]) - float(p[c])) * alpha + 0.5f);
        }
}

int Canvas::text(int x, int y, const char* text, Colour colour, int scale) {
    // The font describes glyphs as axis-aligned quads of 4 vertices (x, y, z, rgba: 16 bytes each).
    struct Vertex {
        float x, y, z;
        uint8_t rgba[4];
    };
    std::string copy(text);
    std::vector<Vertex> quads(copy.size() * 80 + 4);
    int count = stb_easy_font_print(0.0f, 0.0f, copy.data(), nullptr, quads.data(),
                                    int(quads.size() * sizeof(Vertex)));
    for (int q = 0; q < count; ++q) {
        const Vertex& a = quads[size_t(q) * 4];
        const Vertex& c = quads[size_t(q) * 4 + 2];
        fill(x + int(a.x) * scale, y + int(a.y) * scale, x + int(c.x) * scale, y + int(c.y) * scale, colour);
    }
    return textWidth(text, scale);
}

int Canvas::textWidth(const char* text, int scale) {
    std::string copy(text);
    return stb_easy_font_width(copy.data()) * scale;
}

} // namespace tools
