// The show's sections: where the music and the picture change, on the rows of the tracks' tempo grid.
// Plots draw their boundaries; the director mode loops the current one and names it.
#pragma once

#include <cstdint>
#include <span>

namespace Orvo::Gfx {

struct ShowSection {
    const char* name;
    uint32_t startRow; // its first row
    uint32_t endRow;   // the next section's first row; the last section ends with the show
    struct {
        uint8_t r, g, b;
    } colour; // how plots mark it
};

// In show order, each starting where the one before ends, the first at row 0.
std::span<const ShowSection> showSections();

// The section that `row` lies in; rows past the show's end belong to the last section.
const ShowSection& sectionAtRow(uint32_t row);

} // namespace Orvo::Gfx
