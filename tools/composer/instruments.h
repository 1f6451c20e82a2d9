// The eight instruments of the soundtrack, synthesised as 8-bit samples.
#pragma once

#include "music/xm_writer.h"

#include <vector>

namespace composer {

// Instrument numbers as the pattern data names them (1-based, as in a cell).
enum Instrument : uint8_t { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kArp, kNoise };

std::vector<XmInstrument> makeInstruments();

} // namespace composer
