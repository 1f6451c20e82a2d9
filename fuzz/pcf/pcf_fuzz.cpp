// PCF fonts from memory. A font the reader refuses raises std::runtime_error; an accepted one must have
// cells of the size it states for every glyph.
#include "generators/pagegen/pcf_font.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

using namespace generators;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const BitmapFont font = readPcfFont({data, size});
        for (const auto& glyph : font.glyphs)
            if (glyph.second.size() != size_t(font.cellWidth) * size_t(font.cellHeight)) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
