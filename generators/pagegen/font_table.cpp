#include "generators/pagegen/font_table.h"

#include "generators/pagegen/text_input.h"

#include <stdexcept>
#include <zlib.h>

namespace generators {

std::vector<int32_t> buildFontTable(const BitmapFont& font, const Cp437Table& codePage) {
    if (font.cellWidth != kGlyphWidth || font.cellHeight != kGlyphHeight)
        throw std::runtime_error("the font has " + std::to_string(font.cellWidth) + " x " +
                                 std::to_string(font.cellHeight) + " cells, not 8 x 16");
    std::vector<int32_t> table(size_t(kFontGlyphCount) * kGlyphSize, 0);
    for (int code = 0; code < kFontGlyphCount; ++code) {
        uint32_t character = codePage.unicode[code];
        if (character == Cp437Table::kNone) continue;
        auto glyph = font.glyphs.find(character);
        if (glyph == font.glyphs.end())
            throw std::runtime_error("the font has no glyph for code " + std::to_string(code) + " (U+" +
                                     hexString(character) + ")");
        for (int i = 0; i < kGlyphSize; ++i) table[size_t(code) * kGlyphSize + i] = glyph->second[i];
    }
    return table;
}

std::vector<uint8_t> readMaybeGzipped(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + path);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    int got = 0;
    while ((got = gzread(file, chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    gzclose(file);
    if (got < 0) throw std::runtime_error("cannot read " + path + " (damaged compressed data)");
    return bytes;
}

} // namespace generators
