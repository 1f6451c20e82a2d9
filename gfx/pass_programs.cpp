#include "pass_programs.h"

namespace Orvo::Gfx {

namespace {

void useProgram(const ShaderProgram* program, gpu::ShaderStage stage, const void*& bytecode, uint32_t& size) {
    const bool usable = program && program->stage == stage;
    bytecode = usable ? program->bytecode : nullptr;
    size = usable ? uint32_t(program->size) : 0;
}

} // namespace

void useGraphicsPrograms(PassDesc& desc, const ShaderProgram* vertex, const ShaderProgram* pixel) {
    useProgram(vertex, gpu::ShaderStage::Vertex, desc.vertexBytecode, desc.vertexBytecodeSize);
    useProgram(pixel, gpu::ShaderStage::Pixel, desc.pixelBytecode, desc.pixelBytecodeSize);
}

void useComputeProgram(PassDesc& desc, const ShaderProgram* compute) {
    useProgram(compute, gpu::ShaderStage::Compute, desc.computeBytecode, desc.computeBytecodeSize);
}

void useGraphicsPrograms(PassDesc& desc, std::string_view vertexName, std::string_view pixelName) {
    useGraphicsPrograms(desc, shaders::findShaderProgram(vertexName), shaders::findShaderProgram(pixelName));
}

void useComputeProgram(PassDesc& desc, std::string_view computeName) {
    useComputeProgram(desc, shaders::findShaderProgram(computeName));
}

} // namespace Orvo::Gfx
