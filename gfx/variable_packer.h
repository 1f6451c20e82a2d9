#pragma once
// Packs the scene's context variables tightly, without alignment, into the block that follows the frame
// header in the shared constant buffer.
#include "base/dyn_array.h"
#include "sync/context_variable.h"

#include <cstdint>
#include <memory>

namespace Orvo::Gfx {

struct VariablePacker {
    DynArray<ContextVariable> variables; // the copy packed last
    DynArray<uint32_t> offsets;        // offset i is where variable i starts; one more entry holds the total
    std::unique_ptr<uint8_t[]> packed; // the packed values, kept until the next frame packs again
    uint32_t packedLength = 0;
};

// Consumes `variables`: each variable's first size(type) value bytes land at its offset.
void packVariables(VariablePacker& packer, DynArray<ContextVariable> variables);

} // namespace Orvo::Gfx
