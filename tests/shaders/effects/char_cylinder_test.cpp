// The character cylinder: the character choice that turns the picture into one character and colour
// per cell, compared with a CPU model of its formula, and the cylinder pass in its flat layout drawing
// one quad per glyph pixel of the chosen characters.
#include "tests/shaders/effects/effect_pass_fixture.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <list>
#include <set>

using namespace Orvo::Gfx;

namespace {

constexpr uint32_t kColumns = 256, kRows = 96, kCells = kColumns * kRows;
constexpr uint32_t kInstancesPerRow = kColumns * 128;
constexpr uint32_t kRecordBytes = 32; // a float4 colour and a code, at the colour's 16-byte alignment

// The characters the art is made of: code, brightness target, expected luminance of the six regions
// (top-left, top-right, middle-left, middle-right, bottom-left, bottom-right).
struct ArtCharacter {
    int code;
    float target;
    float regions[6];
};
constexpr ArtCharacter kArtCharacters[31] = {
    {32, 0.00f, {0, 0, 0, 0, 0, 0}},
    {46, 0.02f, {0, 0, 0, 0, 0.08f, 0.08f}},
    {39, 0.03f, {0.12f, 0.08f, 0, 0, 0, 0}},
    {45, 0.04f, {0, 0, 0.3f, 0.3f, 0, 0}},
    {95, 0.06f, {0, 0, 0, 0, 0.3f, 0.3f}},
    {47, 0.07f, {0, 0.35f, 0.15f, 0.2f, 0.35f, 0}},
    {92, 0.08f, {0.35f, 0, 0.2f, 0.15f, 0, 0.35f}},
    {124, 0.09f, {0.08f, 0.08f, 0.3f, 0.3f, 0.08f, 0.08f}},
    {58, 0.10f, {0, 0, 0.15f, 0.15f, 0.12f, 0.12f}},
    {43, 0.14f, {0.05f, 0.05f, 0.35f, 0.35f, 0.05f, 0.05f}},
    {61, 0.16f, {0, 0, 0.38f, 0.38f, 0.38f, 0.38f}},
    {76, 0.20f, {0.2f, 0, 0.2f, 0, 0.55f, 0.15f}},
    {84, 0.22f, {0.5f, 0.5f, 0.05f, 0.28f, 0.05f, 0.28f}},
    {111, 0.24f, {0.25f, 0.25f, 0.2f, 0.2f, 0.25f, 0.25f}},
    {88, 0.28f, {0.3f, 0.3f, 0.12f, 0.12f, 0.3f, 0.3f}},
    {72, 0.33f, {0.35f, 0.35f, 0.4f, 0.4f, 0.35f, 0.35f}},
    {77, 0.34f, {0.55f, 0.55f, 0.35f, 0.35f, 0.3f, 0.3f}},
    {87, 0.36f, {0.3f, 0.3f, 0.35f, 0.35f, 0.55f, 0.55f}},
    {146, 0.42f, {0.4f, 0.4f, 0.45f, 0.45f, 0.45f, 0.45f}},
    {35, 0.48f, {0.55f, 0.55f, 0.6f, 0.6f, 0.55f, 0.55f}},
    {1, 0.55f, {0.55f, 0.55f, 0.55f, 0.55f, 0.55f, 0.55f}},
    {64, 0.60f, {0.6f, 0.6f, 0.7f, 0.7f, 0.55f, 0.55f}},
    {2, 0.63f, {0.64f, 0.64f, 0.64f, 0.64f, 0.64f, 0.64f}},
    {221, 0.49f, {0.85f, 0, 0.85f, 0, 0.85f, 0}},
    {222, 0.50f, {0, 0.85f, 0, 0.85f, 0, 0.85f}},
    {220, 0.51f, {0, 0, 0, 0, 0.85f, 0.85f}},
    {223, 0.52f, {0.85f, 0.85f, 0, 0, 0, 0}},
    {176, 0.66f, {0.66f, 0.66f, 0.66f, 0.66f, 0.66f, 0.66f}},
    {177, 0.75f, {0.75f, 0.75f, 0.75f, 0.75f, 0.75f, 0.75f}},
    {178, 0.85f, {0.85f, 0.85f, 0.85f, 0.85f, 0.85f, 0.85f}},
    {219, 0.95f, {0.95f, 0.95f, 0.95f, 0.95f, 0.95f, 0.95f}},
};

// Glyph g has ink at row r, column c when (g + 3r + 5c) mod 4 is 0 (rows from the top): every
// character looks different, and a glyph drawn upside down or mirrored does too.
bool ink(int glyph, int row, int column) {
    return (glyph + 3 * row + 5 * column) % 4 == 0;
}

std::vector<int32_t> patternFont() {
    std::vector<int32_t> font;
    for (int g = 0; g < 256; ++g)
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 8; ++c) font.push_back(ink(g, r, c) ? 1 : 0);
    return font;
}

// The picture: 2 x 3 texels per cell, so that each of the six region samples of a cell reads one
// texel and its colour sample the mean of the two middle ones. Greys in five levels with less blue,
// so that the art shows it keeps the picture's colours, and a black band across cell rows 16-23.
constexpr uint32_t kImageWidth = kColumns * 2, kImageHeight = kRows * 3;
constexpr uint32_t kBlackBandRows[2] = {16, 24};

Float4 texelOf(uint32_t x, uint32_t y) {
    if (y / 3 >= kBlackBandRows[0] && y / 3 < kBlackBandRows[1]) return {0, 0, 0, 1};
    const float g = float((x * 7 + y * 13 + (x / 2) * (y / 3)) % 5) / 4.0f;
    return {g, g, g * 0.5f, 1.0f};
}

float luminance(const Float4& c) {
    return 0.299f * c.x + 0.587f * c.y + 0.114f * c.z;
}

float brightnessOf(const Float4& colour) {
    return std::clamp(1.5f * (luminance(colour) - 0.1f), 0.0f, 1.0f);
}

struct Choice {
    int entry;    // index into kArtCharacters
    float margin; // how much worse the runner-up is; 0 for a tie
};

// The character choice from its formula: 4 x the squared brightness difference plus the squared
// differences of the six regions, summed in that order; the first entry with the smallest error wins,
// and a later one replaces it only when strictly smaller.
Choice chooseCharacter(float brightness, const float regions[6]) {
    float best = 1e20f, second = 1e20f;
    int entry = 0;
    for (int e = 0; e < 31; ++e) {
        const ArtCharacter& a = kArtCharacters[e];
        const float d = brightness - a.target;
        float error = 4.0f * d * d;
        for (int r = 0; r < 6; ++r) {
            const float dr = regions[r] - a.regions[r];
            error += dr * dr;
        }
        if (error < best) {
            second = best;
            best = error;
            entry = e;
        } else {
            second = std::min(second, error);
        }
    }
    return {entry, second - best};
}

struct CellArt {
    int code;
    Float4 colour;
    bool clearWinner; // the best character beats the runner-up by a margin rounding cannot bridge
};

CellArt cellArt(uint32_t column, uint32_t row) {
    const uint32_t x = column * 2, y = row * 3;
    const Float4 left = texelOf(x, y + 1), right = texelOf(x + 1, y + 1);
    const Float4 colour{(left.x + right.x) / 2, (left.y + right.y) / 2, (left.z + right.z) / 2, 1.0f};
    float regions[6];
    for (uint32_t r = 0; r < 6; ++r) regions[r] = luminance(texelOf(x + r % 2, y + r / 2));
    const Choice choice = chooseCharacter(brightnessOf(colour), regions);
    return {kArtCharacters[choice.entry].code, colour, choice.margin > 1e-4f};
}

// The colour of grid pixel (gx, gy): the cell's colour where its glyph has ink, with the glyph's rows
// taken bottom-up; opaque black elsewhere.
Float4 artPixel(const std::vector<CellArt>& art, uint32_t gx, uint32_t gy) {
    const CellArt& cell = art[(gy / 16) * kColumns + gx / 8];
    return ink(cell.code, 15 - int(gy % 16), int(gx % 8)) ? cell.colour : Float4{0, 0, 0, 1};
}

// A cell of a test card: the colour at its centre and in its six regions.
struct CellPicture {
    Float4 centre;
    Float4 regions[6];
};

// A picture of 8 x 12 texels per cell, each cell painted as 3 x 3 patches (texel columns 0-2, 3-4, 5-7
// for the left regions, the centre and the right regions; rows 0-3, 4-7, 8-11 for the top, middle and
// bottom), so that every sample of the choice falls between four texels of one patch and reads its
// colour exactly. The centre patch runs the whole height of the cell.
constexpr uint32_t kCardWidth = kColumns * 8, kCardHeight = kRows * 12;

std::vector<Float4> paint(const std::vector<CellPicture>& cells) {
    std::vector<Float4> texels(size_t(kCardWidth) * kCardHeight);
    for (uint32_t y = 0; y < kCardHeight; ++y)
        for (uint32_t x = 0; x < kCardWidth; ++x) {
            const CellPicture& cell = cells[(y / 12) * kColumns + x / 8];
            const uint32_t across = x % 8 < 3 ? 0 : x % 8 < 5 ? 1 : 2, down = (y % 12) / 4;
            texels[size_t(y) * kCardWidth + x] =
                across == 1 ? cell.centre : cell.regions[down * 2 + across / 2];
        }
    return texels;
}

Float4 grey(float level) {
    return {level, level, level, 1.0f};
}

// A pure blue whose luminance is exactly `luminance`: red and green add exact zeros, so the luminance
// is the one rounded product 0.114 x blue on the CPU and the GPU alike.
Float4 blueOfLuminance(float luminance) {
    float blue = luminance / 0.114f;
    for (int step = 0; step < 64 && 0.114f * blue != luminance; ++step)
        blue = std::nextafter(blue, 0.114f * blue < luminance ? 1e30f : 0.0f);
    EXPECT_EQ(0.114f * blue, luminance);
    return {0.0f, 0.0f, blue, 1.0f};
}

// A cell on which several entries make exactly the same, smallest error: black but for one region
// of luminance v = 2^23 + 1. Near v the floats are the integers, so v minus an entry's expected value
// for that region rounds to v - 1 = 2^23 (whose square is exact) where the value is above 0.5 and to
// v where it is below, and that one square is so large that every other term of the sum is lost in
// rounding. The entries above 0.5 there tie, with or without fused multiply-adds.
CellPicture tieCell(int region) {
    CellPicture cell;
    cell.centre = grey(0);
    for (Float4& r : cell.regions) r = grey(0);
    cell.regions[region] = blueOfLuminance(8388609.0f);
    return cell;
}

// A cell made of entry e's own figures in greys: the entry matches it to within rounding.
CellPicture entryCell(int e) {
    const ArtCharacter& a = kArtCharacters[e];
    CellPicture cell;
    cell.centre = grey(a.target / 1.5f + 0.1f);
    for (int r = 0; r < 6; ++r) cell.regions[r] = grey(a.regions[r]);
    return cell;
}

// A cell of seven unrelated colours, alpha included, from a small linear congruential generator.
CellPicture randomCell(uint32_t& seed) {
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / 16777216.0f;
    };
    auto colour = [&next] { return Float4{next(), next(), next(), next()}; };
    CellPicture cell;
    cell.centre = colour();
    for (Float4& region : cell.regions) region = colour();
    return cell;
}

struct CellRecord {
    Float4 colour;
    uint32_t code;
};

} // namespace

class CharCylinder : public EffectPassTest {
  protected:
    // The character choice as the show runs it: every cell of `picture` into a new record buffer.
    BufferRuntime* charChoice(TextureRuntime* picture) {
        BufferRuntime* records = recordBuffer(kRecordBytes, kCells);
        computePass("char_choice_cs", records, kColumns, kRows, {picture});
        return records;
    }

    std::vector<CellRecord> readRecords(BufferRuntime* records) {
        const std::vector<Float4> raw = read(records);
        std::vector<CellRecord> cells;
        for (size_t i = 0; i + 1 < raw.size(); i += 2)
            cells.push_back({raw[i], std::bit_cast<uint32_t>(raw[i + 1].x)});
        return cells;
    }

    // The character choice over the picture, then the cylinder pass as the show sets it up (depth,
    // blending, indexed quads, the spare slots t1-t3 empty here), drawing the first `instances` quads
    // into a width x height target.
    void build(uint32_t width, uint32_t height, uint32_t instances, const std::vector<int32_t>& font) {
        records = charChoice(picture());
        target = drawQuads(width, height, font, everyQuad(instances), instances, nullptr);
    }

    TextureRuntime* picture() {
        std::vector<Float4> texels;
        for (uint32_t y = 0; y < kImageHeight; ++y)
            for (uint32_t x = 0; x < kImageWidth; ++x) texels.push_back(texelOf(x, y));
        return image(kImageWidth, kImageHeight, texels);
    }

    // The numbers 0 to count - 1, for a draw of the first count quads.
    BufferRuntime* everyQuad(uint32_t count) {
        auto& numbers = quadLists.emplace_back(count);
        for (uint32_t i = 0; i < count; ++i) numbers[i] = i;
        return uintBuffer(numbers);
    }

    // The cylinder pass into a new width x height target: instance i draws quad quads[i], for `instances`
    // instances or as many as `drawArguments` says.
    TextureRuntime* drawQuads(uint32_t width, uint32_t height, const std::vector<int32_t>& font,
                              BufferRuntime* quads, uint32_t instances, BufferRuntime* drawArguments) {
        TextureRuntime* drawn = texture(width, height);
        PassSettings settings;
        settings.vertexCount = 6;
        settings.instanceCount = instances;
        settings.blend = true;
        settings.depth = texture(width, height, kDepthFormat);
        settings.indexBuffer = uintBuffer(quadIndices, true);
        settings.drawArguments = drawArguments;
        graphicsPass("char_cylinder_vs", "vertex_colour_ps", drawn,
                     {intBuffer(font), nullptr, nullptr, nullptr, records, quads}, settings);
        return drawn;
    }

    // The cull step as the show runs it, with its buffers.
    struct Cull {
        BufferRuntime *masks, *counts, *offsets, *arguments, *kept;
    };
    Cull cullStep() {
        Cull c{recordBuffer(16, kCells), recordBuffer(4, kCells), recordBuffer(4, kCells),
               uintBuffer(noArguments, false, true), recordBuffer(4, kCells * 128)};
        computePass("char_cylinder_cull_cs", {c.masks, c.counts}, kColumns, kRows, {});
        computePass("char_cylinder_scan_cs", {c.offsets, c.arguments}, 8, 1, {c.counts});
        computePass("char_cylinder_keep_cs", {c.kept}, kColumns, kRows, {c.masks, c.offsets});
        return c;
    }

    // A buffer's 32-bit words.
    std::vector<uint32_t> words(BufferRuntime* buffer) {
        const std::vector<Float4> raw = read(buffer);
        std::vector<uint32_t> out(raw.size() * 4);
        std::memcpy(out.data(), raw.data(), out.size() * 4);
        return out;
    }

    std::vector<Float4> render() {
        const auto& d = target->desc;
        renderFrame(2.5f, {float(d.width), float(d.height)});
        return read(target);
    }

    TextureRuntime* target = nullptr;
    BufferRuntime* records = nullptr;
    const std::vector<uint32_t> quadIndices = {0, 1, 2, 2, 1, 3};
    const std::vector<uint32_t> noArguments = {0, 0, 0, 0, 0};
    std::list<std::vector<uint32_t>> quadLists; // kept for the buffers over them
};

TEST_F(CharCylinder, FlatLayoutIsTheCharacterArtOfThePicture) {
    // The top quarter of the grid: the layout is the same for every row, and the whole grid would take
    // lavapipe many seconds.
    constexpr uint32_t kWidth = 96, kHeight = 54, kDrawnRows = 24;
    const std::vector<int32_t> font = patternFont();
    build(kWidth, kHeight, kDrawnRows * kInstancesPerRow, font);
    // Tracks that only the cylinder layout reads are set: with CYLINDER_MODE 0 they change nothing.
    setTracks({{"CYLINDER_ROTATION_X", 0.7f}, {"CYLINDER_ROTATION_Y", -1.2f}, {"CYLINDER_OFFSET_Z", -30.0f}});
    projection = {{1.5f, 0, 0, 0, 0, 2.0f, 0, 0, 0, 0, -1.0001f, -1, 0, 0, -0.10001f, 0}};
    const auto pixels = render();
    writePng("char_cylinder_flat.png", pixels, kWidth, kHeight);

    std::vector<CellArt> art;
    for (uint32_t row = 0; row < kRows; ++row)
        for (uint32_t column = 0; column < kColumns; ++column) art.push_back(cellArt(column, row));
    int checked = 0;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            // The quad whose grid pixel holds the pixel centre covers it; a centre on the edge between
            // two quads goes to one of them.
            const double gx = (x + 0.5) * 2048.0 / kWidth, gy = (y + 0.5) * 1536.0 / kHeight;
            if (gy >= kDrawnRows * 16 - 1) continue;
            const bool tieX = gx == std::floor(gx), tieY = gy == std::floor(gy);
            const Float4 p = pixels[y * kWidth + x];
            bool matches = false, decided = true;
            for (int dx = tieX ? -1 : 0; dx <= 0; ++dx)
                for (int dy = tieY ? -1 : 0; dy <= 0; ++dy) {
                    const uint32_t qx = uint32_t(gx) + dx, qy = uint32_t(gy) + dy;
                    decided = decided && art[(qy / 16) * kColumns + qx / 8].clearWinner;
                    matches = matches || near(p, artPixel(art, qx, qy), 1e-5f);
                }
            if (!decided) continue;
            ++checked;
            ASSERT_TRUE(matches) << "pixel " << x << "," << y << " shows (" << p.x << ", " << p.y << ", "
                                 << p.z << ", " << p.w << ")";
            // The black band turns into black quads whatever glyph it picks.
            if (gy > kBlackBandRows[0] * 16 && gy < kBlackBandRows[1] * 16 - 1) {
                ASSERT_TRUE(near(p, {0, 0, 0, 1}, 0.0f)) << x << "," << y;
            }
        }
    EXPECT_GT(checked, int(kWidth * 13 * 9 / 10));
}

TEST_F(CharCylinder, TheCullStepKeepsEveryQuadThatDrawsInGridOrder) {
    // The whole grid drawn twice into like targets: every quad, and only those the cull step kept, through
    // the counts it wrote. The pictures must agree to the bit in every layout: flat, on the cylinder seen
    // from the side, close and tilted, and from within, halfway between with the characters exploding or
    // both explosions on.
    constexpr uint32_t kWidth = 80, kHeight = 45;
    const std::vector<int32_t> font = patternFont();
    records = charChoice(picture());
    const Cull cull = cullStep();
    TextureRuntime* culled = drawQuads(kWidth, kHeight, font, cull.kept, kCells * 128, cull.arguments);
    TextureRuntime* whole = drawQuads(kWidth, kHeight, font, everyQuad(kCells * 128), kCells * 128, nullptr);
    projection = {{1.5f, 0, 0, 0, 0, 2.0f, 0, 0, 0, 0, -1.0001f, -1, 0, 0, -0.10001f, 0}};
    const struct {
        const char* layout;
        float mode, rotationX, rotationY, offsetZ, pixelExplosion, charExplosion;
        uint32_t mostKept; // quads behind the eye are always kept
    } layouts[] = {{"flat", 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, kCells * 128 / 8},
                   {"side", 1.0f, 0.3f, 0.8f, -60.0f, 0.0f, 0.0f, kCells * 128 / 8},
                   {"close, tilted", 1.0f, 0.9f, 2.0f, -20.0f, 0.0f, 0.0f, kCells * 128 / 4},
                   {"characters exploding", 0.7f, 0.3f, 0.8f, -50.0f, 0.0f, 2.5f, kCells * 128 / 8},
                   {"within", 1.0f, 1.2f, -0.4f, -4.0f, 0.0f, 0.0f, kCells * 128 - 1},
                   {"halfway, exploding", 0.5f, -0.2f, 0.4f, -40.0f, 0.6f, 0.3f, kCells * 128 / 8}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.layout);
        setTracks({{"CYLINDER_MODE", l.mode},
                   {"CYLINDER_ROTATION_X", l.rotationX},
                   {"CYLINDER_ROTATION_Y", l.rotationY},
                   {"CYLINDER_OFFSET_Z", l.offsetZ},
                   {"CYLINDER_EXPLOSION_AMOUNT", l.pixelExplosion},
                   {"CHAR_EXPLOSION_AMOUNT", l.charExplosion}});
        renderFrame(2.5f, {float(kWidth), float(kHeight)});
        const std::vector<Float4> expected = read(whole), drawn = read(culled);
        int lit = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(near(drawn[i], expected[i], 0.0f)) << "pixel " << i;
            lit += near(expected[i], {0, 0, 0, 1}, 0.0f) ? 0 : 1;
        }
        EXPECT_GT(lit, 0);

        // Counts, offsets and numbers agree with the marks: each cell's kept quads follow those of the
        // cells before it, in glyph-pixel order, and the draw asks for all of them and no more.
        const std::vector<uint32_t> masks = words(cull.masks), counts = words(cull.counts),
                                    offsets = words(cull.offsets), arguments = words(cull.arguments),
                                    kept = words(cull.kept);
        uint32_t total = 0;
        for (uint32_t cell = 0; cell < kCells; ++cell) {
            ASSERT_EQ(offsets[cell], total) << cell;
            uint32_t marked = 0;
            for (uint32_t k = 0; k < 128; ++k) {
                if (!(masks[cell * 4 + k / 32] >> (k % 32) & 1)) continue;
                ASSERT_EQ(kept[total + marked], cell * 128 + k) << cell;
                ++marked;
            }
            ASSERT_EQ(counts[cell], marked) << cell;
            total += marked;
        }
        EXPECT_EQ(std::vector<uint32_t>(arguments.begin(), arguments.begin() + 5),
                  (std::vector<uint32_t>{6, total, 0, 0, 0}));
        // At this size most quads in front of the eye fall between pixel centres.
        EXPECT_GT(total, 0u);
        EXPECT_LE(total, l.mostKept);
    }
}

TEST_F(CharCylinder, ExplosionAmountsOfExactlyTheThresholdDoNotExplode) {
    // A target whose pixel centres fall exactly on the edges between cells, so that the least scatter of
    // a glyph pixel or of a whole character moves a quad across a centre, and a font of solid blocks, so that
    // neighbouring quads take their cells' different colours. The top four cell rows are enough to see it.
    constexpr uint32_t kWidth = 128, kHeight = 144;
    const std::vector<int32_t> solid(256 * 128, 1);
    build(kWidth, kHeight, 4 * kInstancesPerRow, solid);
    const auto still = render();
    for (const char* track : {"CYLINDER_EXPLOSION_AMOUNT", "CHAR_EXPLOSION_AMOUNT"}) {
        setTrack(track, 0.001f);
        const auto atThreshold = render();
        for (size_t i = 0; i < still.size(); ++i)
            ASSERT_TRUE(near(atThreshold[i], still[i], 0.0f)) << track << i;
        setTrack(track, 0.0011f);
        const auto above = render();
        int moved = 0;
        for (size_t i = 0; i < still.size(); ++i) moved += near(above[i], still[i], 0.0f) ? 0 : 1;
        EXPECT_GT(moved, 0) << track;
        setTrack(track, 0.0f);
    }
}

// The choice on the GPU against the formula's CPU model on two pictures. Black gives the space (code
// 32) in every cell. The test card holds: cells made of each entry's own figures, which must pick
// that entry; cells where entries tie exactly, where the earliest must win ('W' among the eleven
// entries above 0.5 bottom-right, 'L' among the twelve above 0.5 bottom-left, where a later winner
// would be the full block); and cells of random colours, compared wherever rounding cannot swap the
// two best entries. Every record carries its cell's centre colour, alpha included.
TEST_F(CharCylinder, CharacterChoiceFollowsTheFormulaOnBlackTiesAndATestCard) {
    std::vector<Float4> texels(size_t(kCardWidth) * kCardHeight, Float4{0, 0, 0, 1});
    TextureRuntime* picture = image(kCardWidth, kCardHeight, texels);
    BufferRuntime* records = charChoice(picture);
    renderFrame(0.0f, {320, 180});
    for (const CellRecord& cell : readRecords(records)) {
        ASSERT_EQ(cell.code, 32u);
        ASSERT_TRUE(near(cell.colour, {0, 0, 0, 1}, 0.0f));
    }

    struct Tie {
        int region, first; // the huge region and the entry that must win
    };
    const Tie ties[] = {{5, 17}, {4, 11}};
    std::vector<CellPicture> cells;
    std::vector<int> intended; // the entry a cell is made to pick; -1 for random cells
    uint32_t seed = 12345;
    for (uint32_t row = 0; row < kRows; ++row)
        for (uint32_t column = 0; column < kColumns; ++column) {
            if (row < 32) {
                intended.push_back(int(column + 3 * row) % 31);
                cells.push_back(entryCell(intended.back()));
            } else if (row < 48) {
                const Tie& tie = ties[column % 2];
                intended.push_back(tie.first);
                cells.push_back(tieCell(tie.region));
            } else {
                intended.push_back(-1);
                cells.push_back(randomCell(seed));
            }
        }
    texels = paint(cells);
    picture->uploadRegion(texels.data(), kCardWidth, kCardHeight, sizeof(Float4));
    renderFrame(0.0f, {320, 180});
    const std::vector<CellRecord> gpu = readRecords(records);
    ASSERT_EQ(gpu.size(), size_t(kCells));

    std::set<uint32_t> codes;
    int compared = 0;
    for (uint32_t i = 0; i < kCells; ++i) {
        SCOPED_TRACE(testing::Message() << "cell " << i % kColumns << "," << i / kColumns);
        const CellPicture& cell = cells[i];
        float regions[6];
        for (int r = 0; r < 6; ++r) regions[r] = luminance(cell.regions[r]);
        const Choice choice = chooseCharacter(brightnessOf(cell.centre), regions);
        const uint32_t code = uint32_t(kArtCharacters[choice.entry].code);
        ASSERT_TRUE(near(gpu[i].colour, cell.centre, 0.0f));
        if (intended[i] >= 0) {
            ASSERT_EQ(choice.entry, intended[i]);
            ASSERT_EQ(choice.margin == 0.0f, i / kColumns >= 32);
        }
        if (intended[i] < 0 && choice.margin < 1e-5f) continue;
        ASSERT_EQ(gpu[i].code, code);
        codes.insert(code);
        ++compared;
    }
    EXPECT_EQ(codes.size(), 31u);
    EXPECT_GT(compared, int(kCells * 99 / 100));
}
