// The CPU preview draws cells the way the text layers do: the background rule, palette indices taken
// modulo 256, the layer's own colour where it does not use the palette, and no reads past the font,
// the palette or the cells.
#include "tools/pages/page_preview.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace tools;

namespace {

// A two-glyph font: glyph 1 has only its top-left pixel set, glyph 2 is solid.
std::vector<int32_t> tinyFont() {
    std::vector<int32_t> font(3 * 128, 0);
    font[128] = 1;
    for (int i = 0; i < 128; ++i) font[256 + i] = 1;
    return font;
}

// 16 colours: colour c is (c/15, 0, 1 - c/15).
std::vector<float> tinyPalette() {
    std::vector<float> palette;
    for (int c = 0; c < 16; ++c) palette.insert(palette.end(), {c / 15.0f, 0.0f, 1.0f - c / 15.0f});
    return palette;
}

std::array<int, 3> pixel(const Image& image, int x, int y) {
    const uint8_t* p = &image.rgb[(size_t(y) * image.width + x) * 3];
    return {p[0], p[1], p[2]};
}

class Preview : public ::testing::Test {
  protected:
    std::vector<int32_t> font = tinyFont();
    std::vector<float> palette = tinyPalette();
    LayerLook look{
        {font.data(), uint32_t(font.size())}, {palette.data(), uint32_t(palette.size())}, true, {}};

    Image render(std::vector<int32_t> cells, uint32_t columns, uint32_t frame = 0, uint32_t frames = 1) {
        stored = std::move(cells);
        assets::CellPages pages{{stored.data(), uint32_t(stored.size())}, columns, 1, frames};
        return renderFrame(pages, frame, look);
    }
    std::vector<int32_t> stored;
};

TEST_F(Preview, BackgroundRuleAndSeeThroughCells) {
    Image image = render({0, 3, -1, 0, 3, 5, 1, 15, -1}, 3);
    ASSERT_EQ(image.width, 24);
    ASSERT_EQ(image.height, 16);
    EXPECT_EQ(pixel(image, 4, 9), (std::array<int, 3>{0, 0, 0}));      // character 0, no background
    EXPECT_EQ(pixel(image, 8, 0), (std::array<int, 3>{85, 0, 170}));   // character 0, background 5
    EXPECT_EQ(pixel(image, 15, 15), (std::array<int, 3>{85, 0, 170})); // ...across the whole cell
    EXPECT_EQ(pixel(image, 16, 0), (std::array<int, 3>{255, 0, 0}));   // the set pixel in colour 15
    EXPECT_EQ(pixel(image, 17, 0), (std::array<int, 3>{0, 0, 0}));     // clear pixels without background
}

TEST_F(Preview, ColourIndicesWrapAt256AndMissPastThePalette) {
    Image image = render({2, 260, -1, 2, 20, -1, 0, 0, 256 + 15}, 3);
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 3>{68, 0, 187})); // 260 reads entry 4
    EXPECT_EQ(pixel(image, 8, 0), (std::array<int, 3>{0, 0, 0}));    // entry 20 lies past 16 colours
    EXPECT_EQ(pixel(image, 16, 3), (std::array<int, 3>{255, 0, 0})); // background 271 reads entry 15
}

TEST_F(Preview, LayerColourReplacesTheForegroundWhereThePaletteIsNotUsed) {
    look.foregroundFromPalette = false;
    look.layerColour[0] = look.layerColour[1] = look.layerColour[2] = 0.05f;
    Image image = render({2, 15, 9}, 1);
    EXPECT_EQ(pixel(image, 3, 3), (std::array<int, 3>{13, 13, 13}));
    look.foregroundFromPalette = true;
    image = render({2, -1, 9}, 1); // a negative foreground falls back to the layer colour too
    EXPECT_EQ(pixel(image, 3, 3), (std::array<int, 3>{13, 13, 13}));
}

TEST_F(Preview, CodesPastTheFontShowOnlyTheirBackground) {
    Image image = render({505, 15, 1, 3, 15, -1}, 2);
    EXPECT_EQ(pixel(image, 0, 0), (std::array<int, 3>{17, 0, 238}));
    EXPECT_EQ(pixel(image, 7, 15), (std::array<int, 3>{17, 0, 238}));
    EXPECT_EQ(pixel(image, 8, 0), (std::array<int, 3>{0, 0, 0})); // glyph 3 lies past a 3-glyph font
}

TEST_F(Preview, FramesPastTheCellsRenderBlack) {
    Image second = render({2, 15, -1, 2, 0, -1}, 1, 1, 2);
    EXPECT_EQ(pixel(second, 0, 0), (std::array<int, 3>{0, 0, 255}));
    Image beyond = render({2, 15, -1, 2, 0, -1}, 1, 2, 2);
    EXPECT_EQ(pixel(beyond, 0, 0), (std::array<int, 3>{0, 0, 0}));
    Image cut = render({2, 15, -1, 2, 0}, 2); // the last cell is incomplete
    EXPECT_EQ(pixel(cut, 8, 0), (std::array<int, 3>{0, 0, 0}));
}

TEST(ContactSheet, ShrinksByAveragingAndLaysFramesOut) {
    Image frame;
    frame.width = 4;
    frame.height = 2;
    frame.rgb = {0,   0,   0,   200, 200, 200, 10, 10, 10, 10, 10, 10,
                 100, 100, 100, 100, 100, 100, 10, 10, 10, 10, 10, 10};
    Image sheet = contactSheet({frame, frame, frame}, 2, 2);
    EXPECT_EQ(sheet.width, 2 * (2 + 4) + 4);
    EXPECT_EQ(sheet.height, 2 * (1 + 4) + 4);
    EXPECT_EQ(pixel(sheet, 4, 4), (std::array<int, 3>{100, 100, 100}));
    EXPECT_EQ(pixel(sheet, 5, 4), (std::array<int, 3>{10, 10, 10}));
    EXPECT_EQ(pixel(sheet, 4, 9), (std::array<int, 3>{100, 100, 100})); // the third frame starts row two
    EXPECT_EQ(pixel(sheet, 10, 9), (std::array<int, 3>{40, 40, 40}));   // and leaves its neighbour empty
}

} // namespace
