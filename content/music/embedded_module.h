// The intro's module, written by generators/composer at build time and compiled into the executable.
#pragma once

#include <cstdint>

namespace Orvo::Gfx {

const uint8_t* embeddedModuleData();
uint32_t embeddedModuleSize();

} // namespace Orvo::Gfx
