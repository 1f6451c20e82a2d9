// Packs one compiled shader program for embedding, a step of the shader build
// (shaders/cmake/shader_programs.cmake):
//
//   pack-shader-program NAME NAMESPACE PROGRAM.spv REFLECTION.json OUT.cpp [PROGRAM.dxbc]
//
// The stage follows from NAME's ending; the bindings from the reflection. The DXBC container, when given,
// travels after the SPIR-V for the Direct3D 11 backend. Any fault stops the build with the program's name
// and the reason; the packed result must pass the check every backend runs when it creates the shader.
#include "platform/dxbc_container.h"
#include "platform/gpu_checks.h"
#include "shaders/pack/shader_pack.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace generators {

namespace {

bool readFile(const char* path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return bool(in);
}

int fail(const char* name, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", name, reason.c_str());
    return 1;
}

} // namespace

} // namespace generators

using namespace generators;
using namespace shaders;

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: pack-shader-program NAME NAMESPACE PROGRAM.spv REFLECTION.json OUT.cpp "
                             "[PROGRAM.dxbc]\n");
        return 2;
    }
    const char* name = argv[1];
    const shader_build::StageRule* rule = shader_pack::stageRuleOf(name);
    if (!rule) return fail(name, "a program's name ends in _vs, _ps or _cs");
    std::string spirvBytes, reflection, error;
    std::vector<uint32_t> spirv;
    if (!readFile(argv[3], spirvBytes) || !shader_pack::spirvWords(spirvBytes, spirv))
        return fail(name, std::string(argv[3]) + " is not SPIR-V");
    if (!readFile(argv[4], reflection)) return fail(name, std::string("cannot read ") + argv[4]);
    std::vector<gpu::ShaderBinding> bindings;
    if (!shader_pack::bindingsFromReflection(reflection, bindings, error)) return fail(name, error);
    std::string dxbc;
    if (argc == 7) {
        gpu::DxbcContainer container;
        if (!readFile(argv[6], dxbc)) return fail(name, std::string("cannot read ") + argv[6]);
        error = gpu::ReadDxbcContainer(dxbc.data(), dxbc.size(), &container);
        if (!error.empty()) return fail(name, std::string(argv[6]) + ": " + error);
    }
    const std::vector<uint32_t> packed = shader_pack::packBytecode(rule->stage, bindings, spirv, dxbc);
    const gpu::Check check = gpu::CheckShaderBytecode(packed.data(), packed.size() * 4, rule->stage);
    if (check != gpu::Check::Passed) return fail(name, gpu::CheckMessage(check));
    std::ofstream out(argv[5], std::ios::binary);
    out << shader_pack::programSource(name, argv[2], rule->stage, bindings, packed);
    if (!out.flush()) return fail(name, std::string("cannot write ") + argv[5]);
    return 0;
}
