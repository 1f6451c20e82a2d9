// Rebuilds a program of the checkout's shaders/ while the show runs, by the shader build's own steps and
// options (shaders/cmake/shader_programs.cmake): glslangValidator with the build's generated
// context_buffer.hlsli on the include path, spirv-val, the bindings from spirv-cross's reflection, packed
// as the build packs them (tools/shader_pack). The result is what the build would embed.
#pragma once

#include "platform/gpu.h"

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct RebuiltProgram {
    gpu::ShaderStage stage = gpu::ShaderStage::Vertex;
    std::vector<uint32_t> bytecode;           // packed: what Device::Create*Shader takes
    std::vector<gpu::ShaderBinding> bindings; // by ascending binding
    // Every file the compiler read, as the compiler listed them: the program and what it includes,
    // directly or through another header. A program depends on exactly these.
    std::vector<std::string> sources;
};

class ProgramBuilder {
  public:
    // `shaderFolder`: the checkout's shaders/. Finds the three tools on PATH and makes a scratch folder.
    explicit ProgramBuilder(std::string shaderFolder);
    ~ProgramBuilder(); // removes the scratch folder
    ProgramBuilder(const ProgramBuilder&) = delete;
    ProgramBuilder& operator=(const ProgramBuilder&) = delete;

    // False when the shader folder is not a folder, a tool is missing or no scratch folder could be made:
    // the director then follows the tracks only. unavailableReason() says why, e.g. "glslangValidator is
    // not on PATH".
    bool available() const { return unavailable_.empty(); }
    const std::string& unavailableReason() const { return unavailable_; }

    // Rebuilds shaderFolder/`name`.hlsl. On a fault returns false and `error` holds the failing step and
    // its message, e.g. "glslangValidator: ERROR: /src/shaders/mirror_ps.hlsl:12: 'foo' : unknown variable".
    // Takes tens to hundreds of milliseconds: run it between frames or on a worker thread, one rebuild at a
    // time per builder.
    bool rebuild(std::string_view name, RebuiltProgram& program, std::string& error) const;

  private:
    std::string shaderFolder_, scratch_, unavailable_;
    std::string glslang_, spirvVal_, spirvCross_;
};

} // namespace app
