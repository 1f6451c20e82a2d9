// The programs a live scene runs, as the director mode swaps rebuilt ones in. A program is found by name:
// as the build embedded it until it is first swapped, then as last swapped in, whose bytecode this keeps
// alive for the passes that point at it.
#pragma once

#include "app/director/program_rebuild.h"
#include "gfx/scene.h"
#include "shaders/shader_program.h"

#include <map>
#include <string>
#include <string_view>

namespace app {

class LivePrograms {
  public:
    using Lookup = const shaders::ShaderProgram* (*)(std::string_view name);

    // `scene`: the live scene, built from the programs that `embedded` finds (the show's by default). It
    // must outlive this; a scene built anew wants a LivePrograms of its own.
    explicit LivePrograms(Orvo::Gfx::Scene& scene, Lookup embedded = shaders::findShaderProgram)
        : scene_(scene), embedded_(embedded) {}

    // Swaps `program` in for the program `name` in every pass that runs it, from the next frame on. False
    // with the reason when no program of that name is known, or a shader cannot be made from it: the scene
    // then keeps running what it ran. `passesChanged`, when given, receives how many passes took it.
    bool swap(std::string_view name, RebuiltProgram program, std::string& error,
              uint32_t* passesChanged = nullptr);

  private:
    Orvo::Gfx::Scene& scene_;
    Lookup embedded_;
    std::map<std::string, std::vector<uint32_t>, std::less<>> swapped_;
};

} // namespace app
