#include "gfx/numeric_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace Orvo::Gfx {

namespace {

// Files beyond the 32-bit signed length range are refused rather than truncated.
constexpr long long kMaxFileLength = INT32_MAX;

bool isSeparator(char c) {
    return c == ' ' || c == ',';
}

// Calls token(start, end) for every token; *end is the character that ends it (separator or NUL).
template <class F> void forEachToken(char* text, F token) {
    char* p = text;
    for (;;) {
        while (isSeparator(*p) || *p == '\n') ++p;
        if (*p == '\0') return;
        char* end = p;
        while (*end != '\0' && !isSeparator(*end)) ++end;
        token(p, end);
        p = end;
    }
}

// The integer conversion with the leading-numeric-part rule of atoi, but defined for values outside
// 32 bits: they saturate instead of being undefined behaviour.
int32_t toInt32(const char* token) {
    const long long value = std::strtoll(token, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return int32_t(value);
}

// atof's rule, with magnitudes beyond float going to infinity instead of an undefined conversion.
float toFloat(const char* token) {
    const double value = std::strtod(token, nullptr);
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (value > kLargest) return std::numeric_limits<float>::infinity();
    if (value < -kLargest) return -std::numeric_limits<float>::infinity();
    return float(value);
}

void reportDataFileError(const char* path, const char* what) {
    std::fprintf(stderr, "mirelandt: data file '%s': %s\n", path, what);
}

} // namespace

uint32_t elementSize(int32_t elementType) {
    switch (elementType) {
    case ElementInt32:
    case ElementFloat32:
        return 4;
    case ElementByte:
        return 1;
    }
    return 0;
}

uint32_t countNumericTokens(const char* text) {
    uint32_t count = 0;
    // The walk only reads; the cast lets both passes share one definition of a token.
    forEachToken(const_cast<char*>(text), [&](char*, char*) { ++count; });
    return count;
}

void convertNumericTokens(char* text, int32_t elementType, void* elements) {
    uint32_t i = 0;
    forEachToken(text, [&](char* start, char* end) {
        const char kept = *end;
        *end = '\0';
        switch (elementType) {
        case ElementInt32: {
            const int32_t value = toInt32(start);
            std::memcpy(static_cast<uint8_t*>(elements) + 4 * size_t(i), &value, 4);
            break;
        }
        case ElementFloat32: {
            const float value = toFloat(start);
            std::memcpy(static_cast<uint8_t*>(elements) + 4 * size_t(i), &value, 4);
            break;
        }
        case ElementByte:
            static_cast<uint8_t*>(elements)[i] = uint8_t(uint32_t(toInt32(start)) & 0xFFu);
            break;
        }
        *end = kept;
        ++i;
    });
}

void* loadNumericFile(DataSourceDesc& source) {
    source.elements = nullptr;
    source.elementCount = 0;
    std::FILE* file = std::fopen(source.path, "rb");
    if (!file) {
        reportDataFileError(source.path, std::strerror(errno));
        return nullptr;
    }
    long long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length < 0 || length > kMaxFileLength || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        reportDataFileError(source.path,
                            length > kMaxFileLength ? "larger than 2 GiB" : "cannot find its length");
        return nullptr;
    }
    char* text = static_cast<char*>(std::malloc(size_t(length) + 1));
    if (!text) {
        std::fclose(file);
        reportDataFileError(source.path, "out of memory");
        return nullptr;
    }
    const size_t read = std::fread(text, 1, size_t(length), file);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        std::free(text);
        reportDataFileError(source.path, "read error");
        return nullptr;
    }
    text[read] = '\0';
    void* block = loadNumericText(text, source);
    std::free(text);
    return block;
}

void* loadNumericText(char* text, DataSourceDesc& source) {
    source.elements = nullptr;
    source.elementCount = 0;
    const uint32_t size = elementSize(source.elementType);
    if (size == 0) {
        reportDataFileError(source.path, "unknown element type");
        return nullptr;
    }
    const uint32_t count = countNumericTokens(text);
    void* block = std::malloc(size_t(count) * size + 1);
    if (!block) {
        reportDataFileError(source.path, "out of memory");
        return nullptr;
    }
    convertNumericTokens(text, source.elementType, block);
    source.elements = block;
    source.elementCount = count;
    return block;
}

} // namespace Orvo::Gfx
