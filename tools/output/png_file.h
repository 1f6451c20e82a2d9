// An 8-bit RGB PNG written whole or not at all.
#pragma once

#include <cstdint>
#include <string>

// Rows top first, tightly packed; false with "cannot write PATH: reason".
bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error);
