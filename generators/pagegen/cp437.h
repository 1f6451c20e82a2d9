// The code page 437 table: which Unicode character each of the 256 font codes shows. The font converter
// finds glyphs through it and the page sources, written in UTF-8, reach their codes through it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace generators {

struct Cp437Table {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    std::array<uint32_t, 256> unicode{}; // `kNone` for a code that shows no character (code 0)
    std::unordered_map<uint32_t, int> codeOf;

    // Code of a Unicode character, or -1 when code page 437 has no such character.
    int code(uint32_t character) const;
};

// Lines "CODE U+XXXX [char]" or "CODE none"; '#' starts a comment line. Every code 0-255 must appear once.
Cp437Table parseCp437Table(std::string_view text);

// UTF-8 text to Unicode characters; malformed sequences are errors, not silently replaced characters.
std::vector<uint32_t> decodeUtf8(std::string_view text);

// UTF-8 text to font codes; a character outside code page 437 is an error naming it.
std::vector<int32_t> toCodes(const Cp437Table& table, std::string_view text);

} // namespace generators
