// The text pass on its own: chosen pages, fonts and palette in the show's slots, the layers seen
// through an orthographic camera that frames a page exactly, blended over instance 0 as in the show.
#include "tests/shaders/effects/effect_pass_fixture.h"

#include <cmath>

using namespace base;

using namespace Orvo::Gfx;

namespace {

constexpr uint32_t kWidth = 64, kHeight = 36;
constexpr int kLayers = 9;

struct Cell {
    int32_t character, foreground, background;
};

// Glyph 0 has ink everywhere, so a blank cell is blank only because character 0 draws no ink;
// glyph 1 is a full block, glyph 2 fills the left half of its cell.
std::vector<int32_t> testFont() {
    std::vector<int32_t> font(256 * 128, 0);
    for (int i = 0; i < 128; ++i) {
        font[i] = 1;
        font[128 + i] = 1;
        font[256 + i] = (i % 8) < 4;
    }
    return font;
}

// Sixteen colours that differ in every index.
std::vector<float> testPalette() {
    std::vector<float> palette;
    for (int c = 0; c < 16; ++c) {
        palette.push_back(float(c) / 16.0f);
        palette.push_back(float(c % 3) / 2.0f);
        palette.push_back(float(c % 5) / 4.0f);
    }
    return palette;
}

Float4 paletteColour(int index, float alpha = 1.0f) {
    return {float(index) / 16.0f, float(index % 3) / 2.0f, float(index % 5) / 4.0f, alpha};
}

// `frames` pages of cols x rows cells, the cell at column c of frame f given by `cell(f, c)`.
template <class CellOf>
std::vector<int32_t> pages(uint32_t cols, uint32_t rows, uint32_t frames, CellOf cell) {
    std::vector<int32_t> elements;
    for (uint32_t f = 0; f < frames; ++f)
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < cols; ++c) {
                const Cell k = cell(f, c);
                elements.insert(elements.end(), {k.character, k.foreground, k.background});
            }
    return elements;
}

std::vector<int32_t> uniformPages(uint32_t cols, uint32_t rows, uint32_t frames, Cell cell) {
    return pages(cols, rows, frames, [&](uint32_t, uint32_t) { return cell; });
}

} // namespace

class TextLayers : public EffectPassTest {
  protected:
    void SetUp() override {
        EffectPassTest::SetUp();
        for (auto& page : text) page = uniformPages(120, 34, 1, {0, 0, -1});
        framePage(120, 34, 1.0f);
    }

    // The view from the front with a page of cols x rows cells filling the target; a `fill` below 1
    // squeezes it vertically so that the quad's margins above and below the page show too. Depth
    // lands at 0.5.
    void framePage(uint32_t cols, uint32_t rows, float fill) {
        const float width = float(cols) * 0.4f, height = float(rows) * 0.8f;
        projection = {{2.0f / width, 0, 0, 0, 0, 2.0f * fill / height, 0, 0, 0, 0, 0, 0, 0, 0, 0.5f, 1}};
    }

    // The text pass as the show builds it, over the pages in `text` (layer L reads text[L]).
    void build(const Float4& clear = {0, 0, 0, 1}, uint32_t width = kWidth) {
        target = texture(width, kHeight);
        BufferDataRuntime* c64 = intBuffer(font);
        BufferDataRuntime* font3 = intBuffer(font);
        BufferDataRuntime* pages[kLayers];
        for (int L = 0; L < kLayers; ++L) pages[L] = intBuffer(text[L]);
        PassSettings settings;
        settings.vertexCount = 6;
        settings.instanceCount = 10;
        settings.blend = true;
        settings.clearColour = clear;
        graphicsPass("text_layers_vs", "text_layers_ps", target,
                     {c64, pages[0], pages[1], pages[2], pages[3], pages[4], pages[5], pages[6], pages[7],
                      pages[8], floatBuffer(palette), c64, font3},
                     settings);
    }

    std::vector<Float4> render(float time = 0.0f) {
        renderFrame(time, {float(kWidth), float(kHeight)});
        return read(target);
    }

    void expectEverywhere(const std::vector<Float4>& pixels, const Float4& expected, const char* what) {
        for (uint32_t i = 0; i < pixels.size(); ++i)
            ASSERT_TRUE(near(pixels[i], expected, 1e-5f))
                << what << " at " << i % kWidth << "," << i / kWidth;
    }

    const std::vector<int32_t> font = testFont();
    const std::vector<float> palette = testPalette();
    std::vector<int32_t> text[kLayers];
    TextureRuntime* target = nullptr;
};

TEST_F(TextLayers, InstanceZeroCoversTheTargetWithOpaqueBlack) {
    build({0.3f, 0.6f, 0.9f, 0.5f});
    // No layer visible, a camera that squashes every layer quad to nothing, assorted tracks.
    projection = {};
    setTracks({{"L1TEXT_A", 1.0f}, {"L1_X", 50.0f}, {"DISP_2X", 3.0f}, {"CameraPosX", -4.0f}});
    expectEverywhere(render(), {0, 0, 0, 1}, "zero camera");
    // Visible layers whose cells are all see-through leave the black as it is.
    framePage(120, 34, 1.0f);
    setTracks({{"L1TEXT_A", 1.0f}, {"L2TEXT_A", 1.0f}, {"L3TEXT_A", 1.0f}, {"L5TEXT_A", 1.0f}, {"L1_X", 0}});
    expectEverywhere(render(31.0f), {0, 0, 0, 1}, "see-through layers");
}

TEST_F(TextLayers, BlankCellsAreSeeThroughUnlessTheyHaveABackground) {
    // Layer 0 is all background 5; layer 3 lies over it (same tracks, same place), its frame 0 blank
    // and see-through, its frame 1 blank on background 2. Both follow L1_FRAME.
    text[0] = uniformPages(120, 34, 2, {0, 0, 5});
    text[3] = pages(120, 34, 2, [](uint32_t f, uint32_t) { return Cell{0, 9, f == 0 ? -1 : 2}; });
    build();
    setTrack("L1TEXT_A", 1.0f);
    expectEverywhere(render(), paletteColour(5), "character 0 without background");
    setTrack("L1_FRAME", 1.0f);
    expectEverywhere(render(), paletteColour(2), "character 0 on background 2");
}

TEST_F(TextLayers, ColourIndicesWrapAt256) {
    // Left half: blank cells on background 260; right half: full blocks in foreground 261.
    text[2] = pages(120, 34, 1, [](uint32_t, uint32_t c) {
        return c < 60 ? Cell{0, 3, 260} : Cell{1, 261, 7};
    });
    // Layer 0 takes its ink colour from the layer instead of the palette.
    text[0] = pages(120, 34, 1, [](uint32_t, uint32_t c) {
        return c < 60 ? Cell{0, 3, 261} : Cell{1, 260, 7};
    });
    build();
    setTrack("L3TEXT_A", 1.0f);
    const auto layer2 = render();
    setTracks({{"L3TEXT_A", 0.0f}, {"L1TEXT_A", 1.0f}});
    const auto layer0 = render();
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            if (x >= 30 && x < 34) continue; // the pixels that straddle the middle of the page
            const bool left = x < 32;
            ASSERT_TRUE(near(layer2[y * kWidth + x], paletteColour(left ? 4 : 5), 1e-5f)) << x << "," << y;
            ASSERT_TRUE(
                near(layer0[y * kWidth + x], left ? paletteColour(5) : Float4{0.05f, 0.05f, 0.05f, 1}, 1e-5f))
                << x << "," << y;
        }
}

TEST_F(TextLayers, LayerAlphaAtTheCutOffDiscardsTheWholeLayer) {
    // Layer 2 (L3TEXT_A) over layer 0: half of it ink, half background.
    text[0] = uniformPages(120, 34, 1, {0, 0, 5});
    text[2] = pages(120, 34, 1, [](uint32_t, uint32_t c) { return c < 60 ? Cell{1, 9, -1} : Cell{0, 9, 2}; });
    build();
    setTrack("L1TEXT_A", 1.0f);
    for (float alpha : {0.001f, 0.0f, -1.0f}) {
        setTrack("L3TEXT_A", alpha);
        expectEverywhere(render(), paletteColour(5), "discarded layer");
    }
    // Just above the cut-off the layer is drawn: the blend writes its alpha.
    setTrack("L3TEXT_A", 0.0011f);
    for (const Float4& p : render()) ASSERT_NEAR(p.w, 0.0011f, 1e-6f);
}

TEST_F(TextLayers, FramesComeFromTheirTracksAndLayerOneStaysOnItsFirstFrame) {
    // Layer 0: three frames on backgrounds 1, 2, 3, chosen by L1_FRAME truncated.
    text[0] = pages(120, 34, 3, [](uint32_t f, uint32_t) { return Cell{0, 0, int32_t(f) + 1}; });
    // Layer 1: its 80 x 213 page on background 3, then the rest of its 32000-cell bound on background 6,
    // as a later frame would be if it had one.
    text[1] = uniformPages(80, 213, 1, {0, 0, 3});
    for (uint32_t cell = 80 * 213; cell < 32000; ++cell) text[1].insert(text[1].end(), {0, 0, 6});
    build();

    setTrack("L1TEXT_A", 1.0f);
    for (auto [frame, colour] : {std::pair{0.0f, 1}, {1.0f, 2}, {1.9f, 2}, {2.0f, 3}, {-2.0f, 1}}) {
        setTrack("L1_FRAME", frame);
        expectEverywhere(render(), paletteColour(colour), "layer 0");
    }
    // A frame past the pages the buffer holds draws nothing.
    setTrack("L1_FRAME", 7.0f);
    expectEverywhere(render(), {0, 0, 0, 1}, "layer 0 past its pages");

    setTracks({{"L1TEXT_A", 0.0f}, {"L2TEXT_A", 1.0f}, {"L3_FRAME", 1.0f}, {"L5_FRAME", 1.0f}});
    framePage(80, 213, 1.0f);
    for (float time : {0.0f, 0.07f, 1.3f, 40.0f}) expectEverywhere(render(time), paletteColour(3), "layer 1");
}

TEST_F(TextLayers, LayerQuadsArePlacedFromTheirTracksWithTransparentMargins) {
    text[0] = pages(120, 34, 1, [](uint32_t, uint32_t c) { return Cell{2, 0, c % 2 ? 5 : 9}; });
    build();
    // The whole quad in view: the page fills the middle two thirds of the rows.
    framePage(120, 34, 2.0f / 3.0f);
    setTrack("L1TEXT_A", 1.0f);
    const auto centred = render();
    writePng("text_layer_quad.png", centred, kWidth, kHeight);
    // Pushing the layer 30 columns along moves it left by 12 units, a quarter of its width.
    setTrack("L1_X", 30.0f);
    framePage(120, 34, 1.0f);
    const auto moved = render();
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const Float4 c = centred[y * kWidth + x], m = moved[y * kWidth + x];
            const bool page = y >= 6 && y < 30;
            ASSERT_EQ(c.x + c.y + c.z > 0.0f, page) << x << "," << y;
            ASSERT_EQ(c.w, 1.0f);
            if (x >= 48) {
                ASSERT_TRUE(near(m, {0, 0, 0, 1}, 0.0f)) << x << "," << y;
            } else {
                ASSERT_GT(m.x + m.y + m.z, 0.0f) << x << "," << y;
            }
        }
}

namespace {

float frac(float x) {
    return x - std::floor(x);
}

// The cells' shared hash of a 3-vector into [0, 1).
float hash3(float x, float y, float z) {
    float qx = frac(x * 0.1031f), qy = frac(y * 0.103f), qz = frac(z * 0.0973f);
    const float d = qx * (qy + 33.33f) + qy * (qx + 33.33f) + qz * (qz + 33.33f);
    qx += d;
    qy += d;
    qz += d;
    return frac((qx + qy) * qz);
}

} // namespace

TEST_F(TextLayers, DisplacementMovesEachPixelSidewaysByItsHash) {
    // Layer 4 (DISP_5X) with one background colour per cell column; the pixels of the left half move
    // right, those of the right half left, each by DISP_5X times the hash of its glyph-pixel position.
    constexpr uint32_t kWide = 128; // pixel centres fall at 3.75 + 7.5 x glyph pixels, never on a whole one
    text[4] = pages(120, 34, 1, [](uint32_t, uint32_t c) { return Cell{0, 0, int32_t(c % 16)}; });
    build({0, 0, 0, 1}, kWide);
    setTracks({{"L5TEXT_A", 1.0f}, {"DISP_5X", 3.0f}});
    renderFrame(0.0f, {float(kWide), float(kHeight)});
    const auto pixels = read(target);
    int mismatches = 0, moved = 0;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWide; ++x) {
            const Float2 uv = pixelUv(x, y, kWide, kHeight);
            const float px = uv.x * 960.0f, py = uv.y * 34.0f * 16.0f;
            const float h = hash3(std::floor(px), std::floor(py), std::floor(px));
            const float shifted = px + (px < 480.0f ? 1.0f : -1.0f) * 3.0f * h;
            const int column = int(std::floor(shifted / 8.0f));
            moved += column != int(std::floor(px / 8.0f));
            mismatches += near(pixels[y * kWide + x], paletteColour(column % 16), 1e-5f) ? 0 : 1;
        }
    // Rounding may put a rare pixel on the other side of a cell edge.
    EXPECT_LE(mismatches, int(kWide * kHeight / 100));
    EXPECT_GT(moved, int(kWide * kHeight / 10));
}
