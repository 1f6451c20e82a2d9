// Runs: the frames over which a float sample position moves by plain additions of whole units.
#pragma once

#include <bit>
#include <cstdint>

namespace music {

// Within one binade [2^e, 2^(e+1)) floats are spaced 2^(e-23) apart, so there a position is a whole
// number of these units in [2^23, 2^24), its point index is the units shifted right by 23 - e, and
// adding the step moves it by the step rounded to whole units: the same count every frame, unless the
// step lies exactly halfway between two counts (then the rounding goes by the position). A run is the
// frames whose float advance is exactly that plain move in units: it reaches neither the loop end nor
// the sample's end (moving backward: the loop start) and stays in the binade.
struct UnitRun {
    uint32_t frames = 0;
    uint32_t units, delta; // a backward move's delta wraps round
    int shift;             // units = position * 2^shift

    float endPosition() const {
        return float(units + frames * delta) * std::bit_cast<float>(uint32_t(127 - shift) << 23);
    }
};

} // namespace music
