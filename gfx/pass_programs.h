#pragma once
// Points a pass descriptor's bytecode at the embedded shader programs. A program that is missing (not
// built yet, or a misspelt name) or of the wrong stage leaves that bytecode null: the pass then gets no
// shaders and is skipped every frame instead of failing.
#include "pass_desc.h"
#include "shaders/shader_program.h"

#include <string_view>

namespace Orvo::Gfx {

void useGraphicsPrograms(PassDesc& desc, const ShaderProgram* vertex, const ShaderProgram* pixel);
void useComputeProgram(PassDesc& desc, const ShaderProgram* compute);

// The same with the show's programs looked up by name ("fullscreen_vs", "composite_ps").
void useGraphicsPrograms(PassDesc& desc, std::string_view vertexName, std::string_view pixelName);
void useComputeProgram(PassDesc& desc, std::string_view computeName);

} // namespace Orvo::Gfx
