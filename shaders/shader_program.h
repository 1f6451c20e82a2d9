// The compiled programs embedded in the binary, found by name ("composite_ps", "fullscreen_vs").
#pragma once

#include "platform/gpu.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace shaders {

struct ShaderProgram {
    const char* name;
    gpu::ShaderStage stage;
    // What Device::CreateVertexShader/CreatePixelShader/CreateComputeShader take.
    const void* bytecode;
    size_t size;
    // The program's descriptor bindings as reflected at build time, by ascending binding.
    const gpu::ShaderBinding* bindings;
    uint32_t bindingCount;
};

// The show's programs, one per shaders/*.hlsl, sorted by name.
std::span<const ShaderProgram* const> allShaderPrograms();
// Null when no program has that name.
const ShaderProgram* findShaderProgram(std::string_view name);
} // namespace shaders
