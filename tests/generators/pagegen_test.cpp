// The content generator's readers: code page table, UTF-8, palettes, page markup, block letters and
// the PCF font reader, including the damaged and mistaken inputs that must stop the build with a message.
#include "generators/pagegen/animations.h"
#include "generators/pagegen/block_letters.h"
#include "generators/pagegen/cp437.h"
#include "generators/pagegen/emit.h"
#include "generators/pagegen/font_table.h"
#include "generators/pagegen/markup.h"
#include "generators/pagegen/palette.h"
#include "generators/pagegen/pcf_font.h"
#include "generators/pagegen/text_input.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace generators;

namespace {

std::string fullTable() {
    std::string text = "# header\n0 none\n";
    for (int code = 1; code < 256; ++code)
        text += std::to_string(code) + " U+" + hexString(0xE000 + code) + "\n";
    return text;
}

// Runs f and returns the message of the runtime_error it throws, or "" if it throws none.
template <typename F> std::string errorOf(F f) {
    try {
        f();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

TEST(Cp437Table, MapsBothWaysAndRejectsGapsAndDuplicates) {
    Cp437Table table = parseCp437Table(fullTable());
    EXPECT_EQ(table.unicode[0], Cp437Table::kNone);
    EXPECT_EQ(table.unicode[65], 0xE041u);
    EXPECT_EQ(table.code(0xE0DB), 219);
    EXPECT_EQ(table.code('A'), -1);

    std::string missing = fullTable();
    missing.erase(missing.find("\n200 ") + 1,
                  missing.find('\n', missing.find("\n200 ") + 1) - missing.find("\n200 "));
    EXPECT_NE(errorOf([&] { parseCp437Table(missing); }).find("code 200 missing"), std::string::npos);
    EXPECT_NE(errorOf([&] { parseCp437Table(fullTable() + "5 U+0041\n"); }).find("code 5 given twice"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { parseCp437Table(fullTable() + "300 U+0041\n"); }).find(":258:"),
              std::string::npos);
}

TEST(Utf8, DecodesAndRefusesMalformedSequences) {
    EXPECT_EQ(decodeUtf8("A\xE2\x96\x88\xC3\xA9"), (std::vector<uint32_t>{'A', 0x2588, 0xE9}));
    EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80"), (std::vector<uint32_t>{0x1F600}));
    EXPECT_THROW(decodeUtf8("\xE2\x96"), std::runtime_error);     // cut short at the end
    EXPECT_THROW(decodeUtf8("\xE2\x41\x88"), std::runtime_error); // bad continuation byte
    EXPECT_THROW(decodeUtf8("\x88"), std::runtime_error);         // stray continuation byte
    EXPECT_THROW(decodeUtf8("\xFF"), std::runtime_error);
}

TEST(Palette, KeepsBitPatternsAndRoundsRampsToEightBits) {
    auto colours = parsePalette("p", "size 4\nlevel a 0x3EAAAA9F\nlevel z 0x00000000\ncolour 0 a z a\n"
                                     "ramp 1 3 #000000 #ff8040 # three steps\n");
    ASSERT_EQ(colours.size(), 12u);
    EXPECT_EQ(std::bit_cast<uint32_t>(colours[0]), 0x3EAAAA9Fu);
    EXPECT_EQ(colours[1], 0.0f);
    EXPECT_EQ(colours[3], 0.0f);                  // first stop exactly
    EXPECT_FLOAT_EQ(colours[6], 128.0f / 255.0f); // 127.5 rounds up
    EXPECT_FLOAT_EQ(colours[7], 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(colours[8], 32.0f / 255.0f);
    EXPECT_EQ(colours[9], 1.0f); // last stop exactly
}

TEST(Palette, MistakesNameTheLine) {
    EXPECT_NE(errorOf([] { parsePalette("p", "size 2\ncolour 0 a a a\n"); }).find("p:2: unknown level 'a'"),
              std::string::npos);
    EXPECT_NE(errorOf([] {
                  parsePalette("p", "size 2\nlevel a 0x0\ncolour 0 a a a\n");
              }).find("colour 1 is not given"),
              std::string::npos);
    EXPECT_NE(errorOf([] { parsePalette("p", "colour 0 a a a\n"); }).find("must start with its size"),
              std::string::npos);
    EXPECT_NE(errorOf([] { parsePalette("p", "size 2\nramp 0 1 #12345\n"); }).find("p:2"), std::string::npos);
    EXPECT_NE(errorOf([] { parsePalette("p", "size 2\nramp 0 5 #000000 #ffffff\n"); }).find("outside"),
              std::string::npos);
}

class PageMarkup : public ::testing::Test {
  protected:
    Cp437Table codePage = parseCp437Table(fullTableWithAscii());
    BlockFont font = parseBlockFont("f", "height 2\nletter A\n#.\n##\nletter space\n.\n.\n");

    Page parse(const std::string& text) { return parsePage("page", text, {codePage, font}); }

    static std::string fullTableWithAscii() {
        std::string text = "0 none\n";
        for (int code = 1; code < 256; ++code) text += std::to_string(code) + " U+" + hexString(code) + "\n";
        return text;
    }
};

TEST_F(PageMarkup, TextArtAndPaintPlaceCharactersAndColours) {
    Page page = parse("size 10 4\nstyle a 14 1\nstyle b 3 -1\n"
                      "text centre 0 a \"ab\"\n"
                      "art 1 1 b\n|x y|\n|  z|\nend\n"
                      "paint 0 1\n| a|\nend\n");
    EXPECT_EQ(page.at(4, 0), (Cell{'a', 14, 1}));
    EXPECT_EQ(page.at(5, 0), (Cell{'b', 14, 1}));
    EXPECT_EQ(page.at(1, 1), (Cell{'x', 14, 1})); // art in b, then painted a
    EXPECT_EQ(page.at(2, 1), (Cell{}));           // a space in art leaves the cell alone
    EXPECT_EQ(page.at(3, 1), (Cell{'y', 3, -1}));
    EXPECT_EQ(page.at(3, 2), (Cell{'z', 3, -1}));
}

TEST_F(PageMarkup, BoxesFillsAndLinesClipAtTheEdges) {
    Page page =
        parse("size 6 3\nstyle a 7 -1\nbox 0 0 6 3 double a\nfill 4 1 9 9 a \"#\"\nhline -2 2 10 a \"-=\"\n");
    EXPECT_EQ(page.at(0, 0).ch, 201);
    EXPECT_EQ(page.at(5, 0).ch, 187);
    EXPECT_EQ(page.at(0, 1).ch, 186);
    EXPECT_EQ(page.at(3, 0).ch, 205);
    EXPECT_EQ(page.at(4, 1).ch, '#');
    EXPECT_EQ(page.at(5, 1).ch, '#');
    EXPECT_EQ(page.at(0, 2).ch, '-'); // the pattern starts at column -2
    EXPECT_EQ(page.at(1, 2).ch, '=');
}

TEST_F(PageMarkup, MistakesNameFileAndLine) {
    EXPECT_EQ(errorOf([&] { parse("size 4 4\ntext 0 0 q \"x\"\n"); }), "page:2: unknown style 'q'");
    EXPECT_EQ(errorOf([&] { parse("style a 1 1\n"); }), "page:1: the page must start with its size");
    EXPECT_EQ(errorOf([&] { parse("size 4 4\nstyle a 16 300\n"); }), "page:2: 300 is outside -1..255");
    EXPECT_EQ(errorOf([&] { parse("size 4 4\nart 0 0\n|x|\n"); }), "page:3: the block has no 'end'");
    EXPECT_EQ(errorOf([&] { parse("size 4 4\nstyle a 1 1\nbanner 0 0 1 1 a - \"AB\"\n"); }),
              "page:3: the block font has no letter 'B'");
    EXPECT_NE(errorOf([&] {
                  parse("size 4 4\nstyle a 1 1\ntext 0 0 a \"\xE2\x96\x88\"\n");
              }).find("page:3: character U+2588 is not in code page 437"),
              std::string::npos);
    EXPECT_EQ(errorOf([&] { parse("# empty\n"); }), "page:1: the page has no size");
}

TEST_F(PageMarkup, BannersUseHalfBlocksAndCastAShadow) {
    // Letter A is "#." over "##"; one pixel per column and half row gives an upper half block over
    // a full block's worth of pixels in one cell row.
    Page page = parse("size 6 3\nstyle a 15 -1\nstyle s 8 -1\nbanner 0 0 1 1 a s \"A\"\n");
    EXPECT_EQ(page.at(0, 0), (Cell{219, 15, -1}));
    EXPECT_EQ(page.at(1, 0), (Cell{220, 15, -1}));
    // The shadow lies one column right and one half row down, where no letter covers it.
    EXPECT_EQ(page.at(0, 1), (Cell{}));
    EXPECT_EQ(page.at(1, 1), (Cell{223, 8, -1}));
    EXPECT_EQ(page.at(2, 1), (Cell{223, 8, -1}));
    EXPECT_EQ(page.at(2, 0), (Cell{}));
    // Two half rows per pixel make the letter two cell rows tall.
    Page tall = parse("size 6 3\nstyle a 15 -1\nbanner 0 0 2 2 a - \"A\" bold\n");
    EXPECT_EQ(tall.at(0, 0).ch, 219);
    EXPECT_EQ(tall.at(3, 0).ch, 219); // bold doubles the pixel to the right: columns 2-3
    EXPECT_EQ(tall.at(4, 0).ch, 0);
    EXPECT_EQ(tall.at(5, 1).ch, 219);
    EXPECT_EQ(bannerWidth(font, "AA", BannerLook{2, 2, true, {}, false, {}}), 14);
}

TEST(BlockFont, RejectsRaggedAndShortLetters) {
    EXPECT_EQ(errorOf([] { parseBlockFont("f", "height 2\nletter A\n#.\n###\n"); }),
              "f:4: letter rows differ in width");
    EXPECT_EQ(errorOf([] { parseBlockFont("f", "height 3\nletter A\n#.\n##\n"); }),
              "f:4: letter 'A' ends early");
    EXPECT_EQ(errorOf([] { parseBlockFont("f", "letter A\n#\n"); }),
              "f:1: the height must come before the letters");
    EXPECT_EQ(errorOf([] { parseBlockFont("f", "height 1\nletter A\n#x\n"); }),
              "f:3: a letter row holds only # and .");
    // A second height would leave the letters before it shorter than the font, and drawing them would
    // read rows they do not have.
    EXPECT_EQ(errorOf([] { parseBlockFont("f", "height 1\nletter A\n#\nheight 2\n"); }),
              "f:4: height given twice");
}

TEST(Animations, DarkeningReachesBlackAndBuildUpEndsOnTheLogo) {
    for (int c = 0; c < 16; ++c) EXPECT_EQ(darker(c, 3), 0) << "colour " << c;
    EXPECT_EQ(darker(15), 7);
    EXPECT_EQ(darker(7), 8);
    EXPECT_EQ(darker(11), 3);

    Page logo(8, 2);
    for (int x = 0; x < 8; ++x) logo.at(x, 0) = {219, 11, -1};
    logo.at(0, 1) = {'A', 7, -1};
    Frames frames = logoBuildUp(logo, 12);
    ASSERT_EQ(frames.size(), 12u);
    EXPECT_EQ(frames.back().cells, logo.cells);
    for (const Cell& cell : frames[0].cells) EXPECT_NE(cell.ch, 219); // nothing finished at the start
}

TEST(Animations, CodeChartReachesPastTheFontWithBackgroundOnly) {
    Frames frames = codeChart(80, 25, 2);
    int highest = 0;
    for (const Cell& cell : frames[0].cells) {
        highest = std::max(highest, cell.ch);
        if (cell.ch > 255) {
            EXPECT_GE(cell.bg, 0);
        }
    }
    EXPECT_EQ(highest, 505);
    EXPECT_NE(frames[0].cells, frames[1].cells);
}

TEST(Emit, CellsAreStoredFrameAfterFrameRowAfterRow) {
    Frames frames(2, Page(2, 1));
    frames[0].at(1, 0) = {5, 6, 7};
    frames[1].at(0, 0) = {8, 9, -1};
    EXPECT_EQ(flattenCells(frames), (std::vector<int32_t>{0, 0, -1, 5, 6, 7, 8, 9, -1, 0, 0, -1}));
}

// Writes the font ascent and descent into both accelerator tables, found through the table of contents,
// in each table's byte order.
void setFontExtent(std::vector<uint8_t>& font, int32_t ascent, int32_t descent) {
    auto read32 = [&](size_t at) {
        return uint32_t(font[at]) | uint32_t(font[at + 1]) << 8 | uint32_t(font[at + 2]) << 16 |
               uint32_t(font[at + 3]) << 24;
    };
    for (uint32_t i = 0; i < read32(4); ++i) {
        const uint32_t type = read32(8 + 16 * i), offset = read32(8 + 16 * i + 12);
        if (type != 1u << 1 && type != 1u << 8) continue;
        const bool msb = read32(offset) & 4;
        for (int k = 0; k < 4; ++k) {
            const int shift = 8 * (msb ? 3 - k : k);
            font[offset + 12 + k] = uint8_t(uint32_t(ascent) >> shift);
            font[offset + 16 + k] = uint8_t(uint32_t(descent) >> shift);
        }
    }
}

class PcfFont : public ::testing::Test {
  protected:
    std::vector<uint8_t> bytes = readMaybeGzipped(MIRELANDT_FONT_SOURCE);
};

TEST_F(PcfFont, ReadsTheTerminusFontAsEightBySixteenCells) {
    BitmapFont font = readPcfFont(bytes);
    EXPECT_EQ(font.cellWidth, 8);
    EXPECT_EQ(font.cellHeight, 16);
    ASSERT_TRUE(font.glyphs.count(0x2588)); // full block
    for (uint8_t pixel : font.glyphs.at(0x2588)) EXPECT_EQ(pixel, 1);
    ASSERT_TRUE(font.glyphs.count(' '));
    for (uint8_t pixel : font.glyphs.at(' ')) EXPECT_EQ(pixel, 0);
}

TEST_F(PcfFont, TruncatedOrDamagedFilesGiveErrorsNotCrashes) {
    for (size_t length :
         {size_t(0), size_t(3), size_t(8), size_t(100), size_t(1000), bytes.size() / 2, bytes.size() - 200}) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + length);
        EXPECT_THROW(readPcfFont(cut), std::runtime_error) << "length " << length;
    }
    // Font ascents and descents whose sum, or a glyph's offset from the top of the cell, would overflow
    // (the sanitizer build stops on that).
    for (auto [ascent, descent] : {std::pair{0x6B6B6B6B, 0x6B6B6B6B}, std::pair{INT32_MIN + 10, INT32_MAX}}) {
        std::vector<uint8_t> damaged = bytes;
        setFontExtent(damaged, ascent, descent);
        EXPECT_EQ(errorOf([&] { readPcfFont(damaged); }), "PCF font: implausible font height");
    }
    // Scribbled bytes anywhere in the file either still parse or give an error; the reader must
    // never read outside the data (the sanitizer build checks that).
    for (size_t at = 0; at < bytes.size(); at += 97) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0xA5;
        damaged[(at * 7) % damaged.size()] = 0xFF;
        try {
            readPcfFont(damaged);
        } catch (const std::runtime_error&) {
        }
    }
}

TEST(FontTable, EveryCodeNeedsItsGlyph) {
    BitmapFont font;
    font.cellWidth = 8;
    font.cellHeight = 16;
    std::string table = "0 none\n";
    for (int code = 1; code < 256; ++code) {
        table += std::to_string(code) + " U+" + hexString(0x100 + code) + "\n";
        if (code != 77) font.glyphs[uint32_t(0x100 + code)] = std::vector<uint8_t>(128, uint8_t(code % 2));
    }
    Cp437Table codePage = parseCp437Table(table);
    EXPECT_EQ(errorOf([&] { buildFontTable(font, codePage); }), "the font has no glyph for code 77 (U+014D)");
    font.glyphs[0x100 + 77] = std::vector<uint8_t>(128, 1);
    std::vector<int32_t> bitmap = buildFontTable(font, codePage);
    ASSERT_EQ(bitmap.size(), 32768u);
    EXPECT_EQ(bitmap[0], 0);
    EXPECT_EQ(bitmap[77 * 128 + 127], 1);
    EXPECT_EQ(bitmap[2 * 128], 0);
    EXPECT_EQ(bitmap[3 * 128 + 5], 1);
    font.cellHeight = 14;
    EXPECT_EQ(errorOf([&] { buildFontTable(font, codePage); }), "the font has 8 x 14 cells, not 8 x 16");
}

} // namespace
