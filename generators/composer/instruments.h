// The eight instruments of the soundtrack, synthesised as 8-bit samples.
#pragma once

#include "music/xm_writer.h"

#include <vector>

namespace generators {

namespace composer {

// Instrument numbers as the pattern data names them (1-based, as in a cell).
enum Instrument : uint8_t {
    InstrumentKick = 1,
    InstrumentSnare,
    InstrumentHat,
    InstrumentBass,
    InstrumentLead,
    InstrumentPad,
    InstrumentArp,
    InstrumentNoise
};

std::vector<music::XmInstrument> makeInstruments();

} // namespace composer

} // namespace generators
