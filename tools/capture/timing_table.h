// What mirelandt-capture --timings prints: the GPU time of each pass, by the names the show gives its
// passes, and of whole frames.
#pragma once

#include "gfx/pass_timer.h"

#include <string>

namespace tools {

std::string timingTable(const Orvo::Gfx::PassTimer& timer, const std::string& adapter, int width, int height);

} // namespace tools
