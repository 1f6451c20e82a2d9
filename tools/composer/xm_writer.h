// Serialises an XmModule into the bytes of an Extended Module 1.04 file.
#pragma once

#include "xm_module.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace composer {

// Thrown when the module cannot be stored in the format (too many points, rows, channels...).
struct XmFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Packs one pattern the way the format compresses cells: a full cell as its five bytes, any other as a
// mask byte (bit 7 set, bits 0-4 say which of the five fields follow) and the fields present.
std::vector<uint8_t> packPattern(const XmPattern& pattern);

// Sample data is stored as the running difference of consecutive values (wrapping 8-bit).
std::vector<uint8_t> deltaEncode(const std::vector<int8_t>& data);

std::vector<uint8_t> writeXm(const XmModule& module);

} // namespace composer
