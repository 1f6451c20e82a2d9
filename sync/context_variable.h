// Named values appended to the shared constant buffer behind the frame header, one per track.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sync_tracks {

enum class VariableType : int32_t {
    Float = 0,
    Float2 = 1,
    Float3 = 2,
    Float4 = 3,
    Scalar4 = 4, // a 4-byte scalar that is not a float
};

// Bytes of the value that land in the constant buffer; an unknown type carries nothing, so a
// corrupt code can never read past the 16-byte value.
constexpr uint32_t variableTypeSize(VariableType type) {
    switch (type) {
    case VariableType::Float:
        return 4;
    case VariableType::Float2:
        return 8;
    case VariableType::Float3:
        return 12;
    case VariableType::Float4:
        return 16;
    case VariableType::Scalar4:
        return 4;
    }
    return 0;
}

struct ContextVariable {
    char name[256];
    VariableType type;
    unsigned char value[16];
};
static_assert(sizeof(ContextVariable) == 276);
static_assert(offsetof(ContextVariable, type) == 256 && offsetof(ContextVariable, value) == 260);

} // namespace sync_tracks
