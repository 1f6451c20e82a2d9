// The Direct3D registers a program's SPIR-V binding table stands for, translated back by the build's
// register mapping, and the DXBC program type of each stage: what a program's DXBC must declare.
#pragma once

#include "platform/dxbc_container.h"
#include "platform/gpu.h"

#include <algorithm>
#include <string>
#include <vector>

namespace test_registers {

// Samplers keep s#, constant buffers b#; bindings from 32 on are u#, the other views t#. Sorted as
// ReadDxbcContainer lists RDEF's registers.
inline std::vector<gpu::DxbcRegister> fromBindings(const gpu::ShaderBinding* bindings, uint32_t count) {
    std::vector<gpu::DxbcRegister> registers;
    for (uint32_t i = 0; i < count; ++i) {
        const gpu::ShaderBinding& b = bindings[i];
        if (b.kind == gpu::ShaderBindingKind::Sampler)
            registers.push_back({'s', b.binding});
        else if (b.kind == gpu::ShaderBindingKind::ConstantBuffer)
            registers.push_back({'b', b.binding});
        else if (b.binding >= gpu::kUavBindingBase)
            registers.push_back({'u', b.binding - gpu::kUavBindingBase});
        else
            registers.push_back({'t', b.binding - gpu::kTextureBindingBase});
    }
    std::sort(registers.begin(), registers.end());
    return registers;
}

// "b8 s0 t0 ", for messages that show the whole list.
inline std::string describe(const std::vector<gpu::DxbcRegister>& registers) {
    std::string text;
    for (const auto& r : registers) text += r.type + std::to_string(r.slot) + ' ';
    return text;
}

inline gpu::DxbcProgramType programType(gpu::ShaderStage stage) {
    switch (stage) {
    case gpu::ShaderStage::Vertex:
        return gpu::DxbcProgramType::Vertex;
    case gpu::ShaderStage::Pixel:
        return gpu::DxbcProgramType::Pixel;
    case gpu::ShaderStage::Compute:
        break;
    }
    return gpu::DxbcProgramType::Compute;
}

} // namespace test_registers
