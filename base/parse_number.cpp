#include "base/parse_number.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace base {

namespace {

// Plain decimal notation only: an optional sign, digits with at most one point (and with `fraction` false,
// none), and with a fraction an optional exponent. strtod and strtol alone would also take leading blanks,
// hexadecimal, "inf" and "nan".
bool isDecimalText(const char* text, bool fraction) {
    const char* p = text;
    if (*p == '-' || *p == '+') ++p;
    size_t digits = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) ++digits;
    if (fraction && *p == '.')
        for (++p; std::isdigit(static_cast<unsigned char>(*p)); ++p) ++digits;
    if (digits == 0) return false;
    if (fraction && (*p == 'e' || *p == 'E')) {
        ++p;
        if (*p == '-' || *p == '+') ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    return *p == '\0';
}

} // namespace

bool parseDecimal(const char* text, double low, double high, double* value) {
    if (!isDecimalText(text, true)) return false;
    *value = std::strtod(text, nullptr);
    return std::isfinite(*value) && *value >= low && *value <= high;
}

bool parseWhole(const char* text, long low, long high, long* value) {
    if (!isDecimalText(text, false)) return false;
    errno = 0;
    *value = std::strtol(text, nullptr, 10);
    return errno == 0 && *value >= low && *value <= high;
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

} // namespace base
