// Page sources parsed with the show's code page table and block font. A source the parser refuses raises
// std::runtime_error; anything else that escapes (or a sanitizer report) is a finding.
#include "generators/pagegen/markup.h"
#include "generators/pagegen/text_input.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

using namespace generators;

namespace {
const std::string kData = MIRELANDT_CONTENT_DATA;
const Cp437Table kCodePage = parseCp437Table(readTextFile(kData + "/font/cp437.txt"));
const BlockFont kBlockFont = parseBlockFont("blockfont.txt", readTextFile(kData + "/pages/blockfont.txt"));
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        parsePage("fuzz.page", std::string_view(reinterpret_cast<const char*>(data), size),
                  {kCodePage, kBlockFont});
    } catch (const std::runtime_error&) {
    }
    return 0;
}
