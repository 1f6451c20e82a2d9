// An 8-bit RGB PNG written whole or not at all.
#pragma once

#include <cstdint>
#include <string>

namespace output_files {

// Rows top first, tightly packed; false with "cannot write PATH: reason", and `*outOfMemory` (where given)
// set when the reason is that the encoder's buffers could not be had.
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error,
              bool* outOfMemory = nullptr);

} // namespace output_files
