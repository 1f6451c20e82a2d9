#include "gfx/pass.h"

#include "gfx/gpu_access.h"

namespace Orvo::Gfx {

bool setupGraphicsPass(GraphicsPass& pass, GraphicsPassDesc desc) {
    pass.desc = desc;
    pass.desc.pipelineKind = PipelineGraphics;
    pass.pipeline.desc = pass.desc;
    const bool created = createShaders(pass.pipeline);
    pass.states = PassStates{};
    refreshPassStates(pass.states, pass.desc);
    return created;
}

bool setupComputePass(ComputePass& pass, ComputePassDesc desc) {
    pass.desc = desc;
    pass.desc.pipelineKind = PipelineCompute;
    pass.pipeline.desc = pass.desc;
    return createShaders(pass.pipeline);
}

bool createShaders(PassPipeline& pipeline) {
    const PassDesc& d = pipeline.desc;
    gpu::Device* device = currentDevice();
    // Shaders of an earlier setup must not outlive the bytecode they came from.
    pipeline.vertexShader.reset();
    pipeline.pixelShader.reset();
    pipeline.computeShader.reset();
    if (!device || ((!d.vertexBytecode || !d.pixelBytecode) && !d.computeBytecode)) return true;
    switch (d.pipelineKind) {
    case PipelineGraphics:
        pipeline.vertexShader = device->CreateVertexShader(d.vertexBytecode, d.vertexBytecodeSize);
        pipeline.pixelShader = device->CreatePixelShader(d.pixelBytecode, d.pixelBytecodeSize);
        break;
    case PipelineCompute:
        pipeline.computeShader = device->CreateComputeShader(d.computeBytecode, d.computeBytecodeSize);
        break;
    }
    return true;
}

} // namespace Orvo::Gfx
