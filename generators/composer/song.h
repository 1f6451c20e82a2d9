// The soundtrack: drum and bass in F minor at 173 BPM, 8 rows per beat, 32 rows per bar.
#pragma once

#include "music/xm_writer.h"

namespace generators {

namespace composer {

music::XmModule composeSong();

} // namespace composer

} // namespace generators
