// Palette sources. A source the parser refuses raises std::runtime_error; an accepted one must give three
// components for each of 1 to 256 colours.
#include "generators/pagegen/palette.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

using namespace generators;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto colours =
            parsePalette("fuzz.txt", std::string_view(reinterpret_cast<const char*>(data), size));
        if (colours.empty() || colours.size() % 3 != 0 || colours.size() > 3 * 256) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
