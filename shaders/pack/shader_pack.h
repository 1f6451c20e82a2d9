// How a compiled program is packed, shared by the build's packer (pack-shader-program) and the director
// mode's run-time rebuild: the descriptor bindings read from spirv-cross's reflection, and the bytecode
// the GPU interface takes (gpu::ShaderBytecodeHeader, the bindings, the SPIR-V words, the DXBC container).
#pragma once

#include "shaders/generated/shader_build_options.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace shaders {

namespace shader_pack {

// The rule for a program's name (ending _vs, _ps or _cs); null when it ends otherwise.
const shader_build::StageRule* stageRuleOf(std::string_view programName);

// The bindings declared in `spirv-cross --reflect` output, sorted by binding. False with the reason when
// the text is not such a reflection, a binding lies outside descriptor set 0, or the program declares
// resources the runtime cannot bind (combined texture-samplers, acceleration structures, push constants,
// subpass inputs).
bool bindingsFromReflection(std::string_view json, std::vector<gpu::ShaderBinding>& bindings,
                            std::string& error);

// The bytes of a .spv file as words; false unless a whole number of words that starts with SPIR-V's magic.
bool spirvWords(std::string_view bytes, std::vector<uint32_t>& words);

// The header, the bindings, the SPIR-V, then the DXBC container padded with zeros to whole words (none
// when `dxbc` is empty: the program then runs on Vulkan only).
std::vector<uint32_t> packBytecode(gpu::ShaderStage stage, std::span<const gpu::ShaderBinding> bindings,
                                   std::span<const uint32_t> spirv, std::string_view dxbc = {});

// A C++ source that defines the packed program as `nameSpace`::programs::`name`, the ShaderProgram record
// of shaders/shader_program.h.
std::string programSource(std::string_view name, std::string_view nameSpace, gpu::ShaderStage stage,
                          std::span<const gpu::ShaderBinding> bindings, std::span<const uint32_t> packed);

} // namespace shader_pack

} // namespace shaders
