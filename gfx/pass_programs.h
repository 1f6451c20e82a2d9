// Points a pass descriptor's bytecode at the embedded shader programs. A program that is missing (not
// built yet, or a misspelt name) or of the wrong stage leaves that bytecode null: the pass then gets no
// shaders and is skipped every frame instead of failing.
#pragma once

#include "gfx/pass_desc.h"
#include "shaders/shader_program.h"

#include <string_view>

namespace Orvo::Gfx {

struct Scene;

void useGraphicsPrograms(PassDesc& desc, const shaders::ShaderProgram* vertex,
                         const shaders::ShaderProgram* pixel);
void useComputeProgram(PassDesc& desc, const shaders::ShaderProgram* compute);

// The same with the show's programs looked up by name ("fullscreen_vs", "composite_ps").
void useGraphicsPrograms(PassDesc& desc, std::string_view vertexName, std::string_view pixelName);
void useComputeProgram(PassDesc& desc, std::string_view computeName);

// Swaps a program of a live scene, between two frames: every pass whose descriptor points at `current`
// (the pass list's and the registries') is pointed at `replacement` and gets its shaders made anew. All
// or nothing: when a shader cannot be made from the replacement (damaged bytecode, another stage, no
// device), no pass changes and the result is false. The replacement's bytecode must stay alive while a
// pass points at it. `passesChanged`, when given, receives how many passes now run it.
bool replaceProgram(Scene& scene, const void* current, const void* replacement, uint32_t replacementSize,
                    uint32_t* passesChanged = nullptr);

} // namespace Orvo::Gfx
