// Numbers as command lines give them: the whole text must be the number in plain decimal notation (no
// blanks, hexadecimal, inf or nan), inside the stated bounds.
#pragma once

namespace base {

// A decimal number in [low, high].
bool parseDecimal(const char* text, double low, double high, double* value);
// A whole number in [low, high].
bool parseWhole(const char* text, long low, long high, long* value);
// WIDTHxHEIGHT, each side in [1, maxSide].
bool parseSize(const char* text, long maxSide, int* width, int* height);

} // namespace base
