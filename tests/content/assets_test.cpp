// The built-in tables as the scene hands them to its data buffers: sizes, exact palette values, font
// glyphs in their code page 437 places, and pages whose codes and colours stay inside the font and
// palette that the text layers read them with.
#include "content/assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kThird = 0x3EAAAA9F, kTwoThirds = 0x3F2AAAB0, kOne = 0x3F800000, kZero = 0;

uint32_t bits(float v) {
    return std::bit_cast<uint32_t>(v);
}

std::vector<uint32_t> colourBits(const assets::FloatTable& palette, int index) {
    return {bits(palette.elements[3 * index]), bits(palette.elements[3 * index + 1]),
            bits(palette.elements[3 * index + 2])};
}

// Pixels of a glyph, row by row.
int glyphPixel(int code, int x, int y) {
    return assets::c64fontBuffer.elements[code * 128 + y * 8 + x];
}
int setPixels(int code, int x0 = 0, int y0 = 0, int x1 = 8, int y1 = 16) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += glyphPixel(code, x, y);
    return n;
}

// Rounded up to 16 bytes, as a structured buffer's width is.
uint32_t bufferBytes(uint32_t elementCount) {
    return (4 * elementCount + 15) / 16 * 16;
}

TEST(Palettes, SixteenColoursUseTheStoredThirdsBitForBit) {
    ASSERT_EQ(assets::colorpalette.elementCount, 48u);
    const std::vector<std::vector<uint32_t>> expected = {{kZero, kZero, kZero},
                                                         {kZero, kZero, kTwoThirds},
                                                         {kZero, kTwoThirds, kZero},
                                                         {kZero, kThird, kTwoThirds},
                                                         {kTwoThirds, kZero, kZero},
                                                         {kTwoThirds, kZero, kTwoThirds},
                                                         {kTwoThirds, kTwoThirds, kZero},
                                                         {kTwoThirds, kTwoThirds, kTwoThirds},
                                                         {kThird, kThird, kThird},
                                                         {kThird, kThird, kOne},
                                                         {kThird, kOne, kThird},
                                                         {kThird, kOne, kOne},
                                                         {kOne, kThird, kThird},
                                                         {kOne, kThird, kOne},
                                                         {kOne, kOne, kThird},
                                                         {kOne, kOne, kOne}};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(colourBits(assets::colorpalette, i), expected[i]) << "colour " << i;
}

TEST(Palettes, CylinderPaletteSharesTheTextColoursExceptCyanAndBrown) {
    ASSERT_EQ(assets::cylinderPalette.elementCount, 768u);
    for (int i = 0; i < 16; ++i) {
        if (i == 3 || i == 6) continue;
        EXPECT_EQ(colourBits(assets::cylinderPalette, i), colourBits(assets::colorpalette, i))
            << "colour " << i;
    }
    EXPECT_EQ(colourBits(assets::cylinderPalette, 3), (std::vector<uint32_t>{kZero, kTwoThirds, kTwoThirds}));
    EXPECT_EQ(colourBits(assets::cylinderPalette, 6), (std::vector<uint32_t>{kTwoThirds, kThird, kZero}));
}

TEST(Palettes, CylinderPaletteHoldsItsFixedColoursAndStaysInRange) {
    const float* p = assets::cylinderPalette.elements;
    EXPECT_EQ(p[96], 0.0f);
    EXPECT_NEAR(p[97], 0.1608f, 1e-4f);
    EXPECT_NEAR(p[98], 0.251f, 1e-4f);
    EXPECT_EQ(p[192], 1.0f);
    EXPECT_NEAR(p[193], 0.5098f, 1e-4f);
    EXPECT_NEAR(p[194], 0.5098f, 1e-4f);
    for (uint32_t i = 0; i < assets::cylinderPalette.elementCount; ++i) {
        EXPECT_GE(p[i], 0.0f) << "element " << i;
        EXPECT_LE(p[i], 1.0f) << "element " << i;
    }
}

TEST(Fonts, ThreeSeparateTablesWithOneBitmap) {
    const assets::IntTable* fonts[] = {&assets::cylinderFont, &assets::c64fontBuffer, &assets::fontBuffer3};
    for (auto* font : fonts) {
        ASSERT_EQ(font->elementCount, 32768u);
        EXPECT_EQ(bufferBytes(font->elementCount), 131072u);
        EXPECT_EQ(std::memcmp(font->elements, assets::c64fontBuffer.elements, 32768 * sizeof(int32_t)), 0);
        for (uint32_t i = 0; i < font->elementCount; ++i)
            ASSERT_TRUE(font->elements[i] == 0 || font->elements[i] == 1);
    }
    EXPECT_NE(assets::cylinderFont.elements, assets::c64fontBuffer.elements);
    EXPECT_NE(assets::fontBuffer3.elements, assets::c64fontBuffer.elements);
    EXPECT_NE(assets::cylinderFont.elements, assets::fontBuffer3.elements);
    EXPECT_EQ(bufferBytes(assets::colorpalette.elementCount), 192u);
}

TEST(Fonts, BlocksAndShadesSitAtTheirCodePage437Codes) {
    EXPECT_EQ(setPixels(0), 0);
    EXPECT_EQ(setPixels(32), 0);
    EXPECT_EQ(setPixels(219), 128);             // full block
    EXPECT_EQ(setPixels(220, 0, 8, 8, 16), 64); // lower half
    EXPECT_EQ(setPixels(220, 0, 0, 8, 8), 0);
    EXPECT_EQ(setPixels(223, 0, 0, 8, 8), 64); // upper half
    EXPECT_EQ(setPixels(223, 0, 8, 8, 16), 0);
    EXPECT_EQ(setPixels(221, 0, 0, 4, 16), 64); // left half
    EXPECT_EQ(setPixels(222, 4, 0, 8, 16), 64); // right half
    // Light, medium and dark shade: about a quarter, a half and three quarters of the cell.
    EXPECT_NEAR(setPixels(176), 32, 8);
    EXPECT_NEAR(setPixels(177), 64, 8);
    EXPECT_NEAR(setPixels(178), 96, 8);
}

TEST(Fonts, LettersFacesAndLinesSitAtTheirCodePage437Codes) {
    // The smiling face is an outline, its inverse a filled disc with the same border.
    EXPECT_GT(setPixels(1), 10);
    EXPECT_GT(setPixels(2), setPixels(1) + 10);
    // 'A' is a capital: ink between the capital height and the baseline, none in the descender rows,
    // and a shape of its own.
    EXPECT_GT(setPixels(65), 15);
    EXPECT_EQ(setPixels(65, 0, 0, 8, 2), 0);
    EXPECT_EQ(setPixels(65, 0, 12, 8, 16), 0);
    EXPECT_NE(std::memcmp(&assets::c64fontBuffer.elements[65 * 128],
                          &assets::c64fontBuffer.elements[66 * 128], 512),
              0);
    // 'g' (103) has a descender, 'a' (97) has none.
    EXPECT_GT(setPixels(103, 0, 12, 8, 16), 0);
    EXPECT_EQ(setPixels(97, 0, 12, 8, 16), 0);
    // Box drawing: a full row through the single horizontal line, a full column through the vertical.
    auto fullRow = [](int code) {
        for (int y = 0; y < 16; ++y)
            if (setPixels(code, 0, y, 8, y + 1) == 8) return true;
        return false;
    };
    auto fullColumn = [](int code) {
        for (int x = 0; x < 8; ++x)
            if (setPixels(code, x, 0, x + 1, 16) == 16) return true;
        return false;
    };
    EXPECT_TRUE(fullRow(196));
    EXPECT_FALSE(fullColumn(196));
    EXPECT_TRUE(fullColumn(179));
    EXPECT_FALSE(fullRow(179));
    EXPECT_TRUE(fullRow(205) && fullColumn(186)); // double lines
    // Corners reach the cell's edges on the sides they connect: the top-left corner (218) right and
    // down, the bottom-right corner (217) left and up.
    EXPECT_GT(setPixels(218, 7, 0, 8, 16), 0);
    EXPECT_EQ(setPixels(218, 0, 0, 1, 16), 0);
    EXPECT_GT(setPixels(218, 0, 15, 8, 16), 0);
    EXPECT_EQ(setPixels(218, 0, 0, 8, 1), 0);
    EXPECT_GT(setPixels(217, 0, 0, 1, 16), 0);
    EXPECT_EQ(setPixels(217, 7, 0, 8, 16), 0);
    EXPECT_GT(setPixels(217, 0, 0, 8, 1), 0);
    EXPECT_EQ(setPixels(217, 0, 15, 8, 16), 0);
}

struct PageShape {
    const char* name;
    const assets::CellPages* pages;
    uint32_t elementCount, columns, rows, frames;
    int highestColour;
    int highestCode;
};

const PageShape kShapes[] = {
    {"textBuffer1", &assets::textBuffer1, 354960, 120, 34, 29, 15, 255},
    {"textBuffer2", &assets::textBuffer2, 51120, 80, 213, 1, 15, 255},
    {"textBuffer3", &assets::textBuffer3, 342720, 120, 34, 28, 15, 255},
    {"textBuffer4", &assets::textBuffer4, 354960, 120, 34, 29, 15, 255},
    {"textBuffer5", &assets::textBuffer5, 354960, 120, 34, 29, 15, 255},
    {"textBuffer6", &assets::textBuffer6, 96000, 80, 25, 16, 15, 505},
    {"cylinderCells", &assets::cylinderCells, 50880, 80, 212, 1, 200, 255},
};

TEST(Pages, ElementCountsAndShapesMatchTheResourceTable) {
    for (const auto& s : kShapes) {
        EXPECT_EQ(s.pages->elementCount, s.elementCount) << s.name;
        EXPECT_EQ(s.pages->columns, s.columns) << s.name;
        EXPECT_EQ(s.pages->rows, s.rows) << s.name;
        EXPECT_EQ(s.pages->frames, s.frames) << s.name;
        EXPECT_EQ(3 * s.pages->columns * s.pages->rows * s.pages->frames, s.pages->elementCount) << s.name;
    }
}

TEST(Pages, CodesStayInsideTheFontAndColoursInsideThePalette) {
    for (const auto& s : kShapes) {
        int highestCode = 0, highestColour = 0;
        for (uint32_t i = 0; i < s.pages->elementCount; i += 3) {
            const int32_t* cell = s.pages->elements + i;
            ASSERT_GE(cell[0], 0) << s.name << " cell " << i / 3;
            ASSERT_GE(cell[1], 0) << s.name << " cell " << i / 3;
            ASSERT_GE(cell[2], -1) << s.name << " cell " << i / 3;
            highestCode = std::max(highestCode, cell[0]);
            highestColour = std::max({highestColour, cell[1], cell[2]});
        }
        EXPECT_LE(highestCode, s.highestCode) << s.name;
        EXPECT_LE(highestColour, s.highestColour) << s.name;
    }
    // The spare pages run through the whole range the text programs address.
    int highest = 0;
    for (uint32_t i = 0; i < assets::textBuffer6.elementCount; i += 3)
        highest = std::max(highest, assets::textBuffer6.elements[i]);
    EXPECT_EQ(highest, 505);
}

// The text layers read an element past the end of a page as 0 and take character 0 on background 0 for
// such a cell, so no page of theirs may hold that cell.
TEST(Pages, NoTextPageHoldsTheCellThatStandsForPastItsEnd) {
    for (const auto& s : kShapes) {
        if (s.pages == &assets::cylinderCells) continue;
        for (uint32_t i = 0; i < s.pages->elementCount; i += 3) {
            const int32_t* cell = s.pages->elements + i;
            ASSERT_FALSE(cell[0] == 0 && cell[2] == 0) << s.name << " cell " << i / 3;
        }
    }
}

bool sameFrame(const assets::CellPages& pages, uint32_t a, uint32_t b) {
    size_t size = size_t(3) * pages.columns * pages.rows;
    return std::memcmp(pages.elements + a * size, pages.elements + b * size, size * sizeof(int32_t)) == 0;
}

TEST(Pages, EveryFrameATrackCanSelectLooksDifferent) {
    // L3_FRAME runs through 0-27 once; L1_FRAME picks any of 0-28 for the backdrop and the logo layer;
    // L5_FRAME steps through 0-8 and back.
    for (uint32_t f = 1; f < 28; ++f)
        EXPECT_FALSE(sameFrame(assets::textBuffer3, f - 1, f)) << "build-up frame " << f;
    for (const auto* pages : {&assets::textBuffer1, &assets::textBuffer4})
        for (uint32_t a = 0; a < 29; ++a)
            for (uint32_t b = a + 1; b < 29; ++b)
                EXPECT_FALSE(sameFrame(*pages, a, b))
                    << (pages == &assets::textBuffer1 ? "backdrop " : "logo ") << a << " and " << b;
    for (uint32_t a = 0; a < 9; ++a)
        for (uint32_t b = a + 1; b < 9; ++b)
            EXPECT_FALSE(sameFrame(assets::textBuffer5, a, b)) << a << " and " << b;
}

TEST(Pages, TheBuildUpEndsOnTheLogoThatTheBeatCutStartsFrom) {
    size_t size = size_t(3) * 120 * 34;
    EXPECT_EQ(std::memcmp(assets::textBuffer3.elements + 27 * size, assets::textBuffer4.elements,
                          size * sizeof(int32_t)),
              0);
    // ...and starts from a nearly empty screen.
    int visible = 0;
    for (size_t i = 0; i < size; i += 3) visible += assets::textBuffer3.elements[i] > 32;
    EXPECT_LT(visible, 40);
}

} // namespace
