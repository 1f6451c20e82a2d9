#include "base/parse_number.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

bool parseDecimal(const char* text, double low, double high, double* value) {
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(*value) && *value >= low && *value <= high;
}

bool parseWhole(const char* text, long low, long high, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= low && *value <= high;
}

bool parseSize(const char* text, long maxSide, int* width, int* height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    const std::string w(text, x);
    long wide = 0, high = 0;
    if (!parseWhole(w.c_str(), 1, maxSide, &wide) || !parseWhole(x + 1, 1, maxSide, &high)) return false;
    *width = int(wide);
    *height = int(high);
    return true;
}
