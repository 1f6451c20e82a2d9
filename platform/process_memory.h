// How much memory the process holds, for the long-run reports of the intro.
#pragma once

#include <cstdint>

namespace platform {

// The resident set in bytes; 0 when the system cannot tell.
uint64_t residentBytes();

} // namespace platform
