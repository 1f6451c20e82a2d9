// A small RGB raster for the track plot: filled rectangles, blending and bitmap text.
#pragma once

#include <cstdint>
#include <vector>

namespace tools {

struct Colour {
    uint8_t r, g, b;
};

class Canvas {
  public:
    Canvas(int width, int height, Colour background);

    int width() const { return width_; }
    int height() const { return height_; }
    const uint8_t* pixels() const { return pixels_.data(); }

    // Covers [x0, x1) x [y0, y1), clipped to the canvas; `alpha` 1 paints, less blends.
    void fill(int x0, int y0, int x1, int y1, Colour colour, float alpha = 1.0f);
    // Text in the built-in bitmap font, `scale` pixels per font pixel; returns the width drawn.
    int text(int x, int y, const char* text, Colour colour, int scale = 1);
    static int textWidth(const char* text, int scale = 1);

  private:
    int width_, height_;
    std::vector<uint8_t> pixels_;
};

} // namespace tools
