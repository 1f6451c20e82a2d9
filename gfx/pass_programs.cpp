#include "gfx/pass_programs.h"

#include "gfx/gpu_access.h"
#include "gfx/scene.h"

#include <unordered_set>
#include <vector>

using namespace shaders;

namespace Orvo::Gfx {

namespace {

void useProgram(const ShaderProgram* program, gpu::ShaderStage stage, const void*& bytecode, uint32_t& size) {
    const bool usable = program && program->stage == stage;
    bytecode = usable ? program->bytecode : nullptr;
    size = usable ? uint32_t(program->size) : 0;
}

// A pass's copies of the descriptor: its own and its pipeline's.
struct ProgramUser {
    PassDesc& desc;
    PassPipeline& pipeline;
};

// Points the bytecode slots that hold `current` at the replacement; whether any did.
bool repoint(PassDesc& desc, const void* current, const void* replacement, uint32_t size) {
    bool changed = false;
    for (auto [bytecode, bytecodeSize] : {std::pair{&desc.vertexBytecode, &desc.vertexBytecodeSize},
                                          std::pair{&desc.pixelBytecode, &desc.pixelBytecodeSize},
                                          std::pair{&desc.computeBytecode, &desc.computeBytecodeSize}}) {
        if (*bytecode != current) continue;
        *bytecode = replacement;
        *bytecodeSize = size;
        changed = true;
    }
    return changed;
}

bool hasShaders(const PassPipeline& pipeline) {
    return pipeline.desc.pipelineKind == PipelineCompute ? bool(pipeline.computeShader)
                                                         : pipeline.vertexShader && pipeline.pixelShader;
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

bool replaceProgram(Scene& scene, const void* current, const void* replacement, uint32_t replacementSize,
                    uint32_t* passesChanged) {
    std::vector<ProgramUser> users;
    std::unordered_set<const void*> seen;
    auto consider = [&](auto* pass) {
        if (pass && seen.insert(pass).second) users.push_back({pass->desc, pass->pipeline});
    };
    for (const PassListEntry& entry : scene.passes) {
        if (entry.kind == PassListGraphics) consider(entry.graphics);
        if (entry.kind == PassListCompute) consider(entry.compute);
    }
    scene.graphicsPasses.forEach([&](uint32_t, GraphicsPass* pass) { consider(pass); });
    scene.computePasses.forEach([&](uint32_t, ComputePass* pass) { consider(pass); });

    // Every pipeline is made anew aside first, so that one failure leaves every pass as it was.
    std::vector<std::pair<ProgramUser*, PassPipeline>> fresh;
    for (ProgramUser& user : users) {
        PassPipeline pipeline{user.pipeline.desc, {}, {}, {}};
        if (!repoint(pipeline.desc, current, replacement, replacementSize)) continue;
        createShaders(pipeline);
        if (!currentDevice() || !hasShaders(pipeline)) return false;
        fresh.emplace_back(&user, std::move(pipeline));
    }
    for (auto& [user, pipeline] : fresh) {
        repoint(user->desc, current, replacement, replacementSize);
        user->pipeline = std::move(pipeline);
    }
    if (passesChanged) *passesChanged = uint32_t(fresh.size());
    return true;
}

} // namespace Orvo::Gfx
