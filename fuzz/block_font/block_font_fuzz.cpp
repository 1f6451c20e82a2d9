// Block-letter fonts: parsed, and when the parser accepts one, every letter drawn as a banner, plain and
// bold with a shadow, so the letter shapes the parser lets through are used the way pages use them.
#include "generators/pagegen/block_letters.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

using namespace generators;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BlockFont font;
    try {
        font = parseBlockFont("fuzz.txt", std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;
    }
    std::string letters;
    for (const auto& glyph : font.glyphs) letters += glyph.first;
    Page page(80, 25);
    BannerLook look;
    look.rowColours = {{0, 15, -1}, {0, 7, 1}};
    look.shadow = true;
    look.shadowColour = {0, 8, -1};
    for (bool bold : {false, true}) {
        look.bold = bold;
        look.columnsPerPixel = bold ? 2 : 1;
        look.halfRowsPerPixel = bold ? 1 : 2;
        drawBanner(page, font, 80 - bannerWidth(font, letters, look), bold ? -1 : 0, letters, look);
    }
    return 0;
}
