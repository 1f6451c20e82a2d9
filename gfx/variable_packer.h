// Packs the scene's context variables tightly, without alignment, into the block that follows the frame
// header in the shared constant buffer.
#pragma once

#include "base/dyn_array.h"
#include "sync/context_variable.h"

#include <cstdint>
#include <vector>

namespace Orvo::Gfx {

// Its arrays keep their storage from one packing to the next, so that packing the same variables again
// allocates nothing.
struct VariablePacker {
    base::DynArray<sync_tracks::ContextVariable> variables; // the copy packed last
    base::DynArray<uint32_t> offsets; // offset i is where variable i starts; one more entry holds the total
    std::vector<uint8_t> packed;      // the packed values, kept until the next frame packs again
    uint32_t packedLength = 0;        // the bytes of `packed` that hold values
};

// Each variable's first size(type) value bytes land at its offset.
void packVariables(VariablePacker& packer, const base::DynArray<sync_tracks::ContextVariable>& variables);

} // namespace Orvo::Gfx
