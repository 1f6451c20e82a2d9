// Numeric data files, read from memory as each element type. The text must come back unchanged, with one
// element for every token.
#include "gfx/numeric_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Orvo::Gfx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    for (int32_t type : {ElementInt32, ElementFloat32, ElementByte}) {
        DataSourceDesc source;
        source.elementType = type;
        void* block = loadNumericText(text.data(), source);
        if (!block || source.elements != block || source.elementCount != countNumericTokens(text.data()) ||
            (size && std::memcmp(text.data(), data, size) != 0))
            __builtin_trap();
        std::free(block);
    }
    return 0;
}
