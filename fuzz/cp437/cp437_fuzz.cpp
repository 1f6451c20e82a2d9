// Code page tables, and UTF-8 text turned into font codes through the show's table. A table or text the
// reader refuses raises std::runtime_error; an accepted table must map every character it lists back to
// its code.
#include "generators/pagegen/cp437.h"
#include "generators/pagegen/text_input.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

using namespace generators;

namespace {
const Cp437Table kCodePage = parseCp437Table(readTextFile(MIRELANDT_CONTENT_DATA "/font/cp437.txt"));
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const Cp437Table table = parseCp437Table(text);
        for (int code = 0; code < 256; ++code)
            if (table.unicode[code] != Cp437Table::kNone && table.code(table.unicode[code]) != code)
                __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    try {
        for (int32_t code : toCodes(kCodePage, text))
            if (code < 0 || code > 255) __builtin_trap();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
