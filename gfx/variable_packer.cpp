#include "gfx/variable_packer.h"

#include <cstring>

using namespace base;
using namespace sync_tracks;

namespace Orvo::Gfx {

void packVariables(VariablePacker& packer, const DynArray<ContextVariable>& variables) {
    if (&variables != &packer.variables) {
        // Copied into the storage the last packing left; an array that cannot grow keeps what fits.
        packer.variables.resize(variables.count);
        if (packer.variables.count)
            std::memcpy(packer.variables.items, variables.items,
                        sizeof(ContextVariable) * packer.variables.count);
    }
    packer.offsets.resize(0);
    packer.packedLength = 0;
    packer.offsets.append(0);
    for (const ContextVariable& v : packer.variables) {
        packer.packedLength += variableTypeSize(v.type);
        packer.offsets.append(packer.packedLength);
    }
    packer.packed.resize(packer.packedLength);
    for (uint32_t j = 0; j < packer.variables.count; ++j) {
        const ContextVariable& v = packer.variables[j];
        // A type without bytes copies nothing: with nothing packed there may be no storage to copy to.
        if (const uint32_t bytes = variableTypeSize(v.type))
            std::memcpy(packer.packed.data() + packer.offsets[j], v.value, bytes);
    }
}

} // namespace Orvo::Gfx
