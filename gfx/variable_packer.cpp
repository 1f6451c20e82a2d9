#include "gfx/variable_packer.h"

#include <cstring>

namespace Orvo::Gfx {

void packVariables(VariablePacker& packer, DynArray<ContextVariable> variables) {
    packer.variables = variables;
    packer.offsets.resize(0);
    packer.packedLength = 0;
    packer.offsets.append(0);
    for (const ContextVariable& v : packer.variables) {
        packer.packedLength += variableTypeSize(v.type);
        packer.offsets.append(packer.packedLength);
    }
    packer.packed.reset(new uint8_t[packer.packedLength]);
    for (uint32_t j = 0; j < packer.variables.count; ++j) {
        const ContextVariable& v = packer.variables[j];
        std::memcpy(packer.packed.get() + packer.offsets[j], v.value, variableTypeSize(v.type));
    }
}

} // namespace Orvo::Gfx
