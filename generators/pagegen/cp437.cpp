#include "generators/pagegen/cp437.h"

#include "generators/pagegen/text_input.h"

#include <sstream>
#include <stdexcept>

namespace generators {

int Cp437Table::code(uint32_t character) const {
    auto found = codeOf.find(character);
    return found == codeOf.end() ? -1 : found->second;
}

Cp437Table parseCp437Table(std::string_view text) {
    Cp437Table table;
    std::array<bool, 256> seen{};
    LineReader lines("code page table", text);
    while (lines.next()) {
        // Only the first two words count: the character shown after them may be '#' or '"'.
        std::istringstream line(lines.line());
        std::vector<std::string> words(2);
        if (!(line >> words[0] >> words[1])) lines.fail("expected CODE U+XXXX");
        int code = lines.integer(words[0], 0, 255);
        if (seen[code]) lines.fail("code " + std::to_string(code) + " given twice");
        seen[code] = true;
        if (words[1] == "none") {
            table.unicode[code] = Cp437Table::kNone;
            continue;
        }
        if (words[1].size() < 3 || words[1].substr(0, 2) != "U+")
            lines.fail("expected U+XXXX, got " + words[1]);
        uint32_t character = uint32_t(lines.hexNumber(words[1].substr(2)));
        table.unicode[code] = character;
        if (!table.codeOf.emplace(character, code).second)
            lines.fail("character " + words[1] + " given twice");
    }
    for (int code = 0; code < 256; ++code)
        if (!seen[code])
            throw std::runtime_error("code page table: code " + std::to_string(code) + " missing");
    return table;
}

std::vector<uint32_t> decodeUtf8(std::string_view text) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        auto lead = uint8_t(text[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        bool truncated = extra > 0 && i + size_t(extra) >= text.size();
        if (extra < 0 || truncated) throw std::runtime_error("malformed UTF-8 at byte " + std::to_string(i));
        uint32_t character = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto next = uint8_t(text[i + k]);
            if ((next >> 6) != 2)
                throw std::runtime_error("malformed UTF-8 at byte " + std::to_string(i + k));
            character = character << 6 | (next & 0x3F);
        }
        out.push_back(character);
        i += size_t(extra) + 1;
    }
    return out;
}

std::vector<int32_t> toCodes(const Cp437Table& table, std::string_view text) {
    std::vector<int32_t> codes;
    for (uint32_t character : decodeUtf8(text)) {
        int code = table.code(character);
        if (code < 0)
            throw std::runtime_error("character U+" + hexString(character) + " is not in code page 437");
        codes.push_back(code);
    }
    return codes;
}

} // namespace generators
