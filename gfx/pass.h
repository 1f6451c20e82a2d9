// Passes: a shader program run over resources. A pass owns a copy of its descriptor and the shaders made
// from its bytecode, a graphics pass also its rasterizer and blend states; a pass whose shaders could not be
// made is skipped every frame.
#pragma once

#include "gfx/pass_desc.h"
#include "gfx/pass_state.h"
#include "platform/gpu.h"

namespace Orvo::Gfx {

struct PassPipeline {
    PassDesc desc;
    gpu::Ref<gpu::VertexShader> vertexShader;
    gpu::Ref<gpu::PixelShader> pixelShader;
    gpu::Ref<gpu::ComputeShader> computeShader;
};

struct GraphicsPass {
    GraphicsPassDesc desc;
    PassPipeline pipeline;
    PassStates states; // made at set-up; remade by the frame that sees the descriptor's fields changed
    // Where the viewport (the first target's size) starts in the target: the output pass moves it to
    // centre a picture smaller than the presented image.
    uint32_t originX = 0;
    uint32_t originY = 0;
};

struct ComputePass {
    ComputePassDesc desc;
    PassPipeline pipeline;
};

// Make the pass's descriptor an exact copy of the given one (whatever its pipelineKind said, the pass
// becomes a graphics or a compute pass) and create its shaders, and a graphics pass its states.
bool setupGraphicsPass(GraphicsPass& pass, GraphicsPassDesc desc);
bool setupComputePass(ComputePass& pass, ComputePassDesc desc);
// Creates the shaders of the pipeline's kind from its bytecode; results are not examined.
bool createShaders(PassPipeline& pipeline);

} // namespace Orvo::Gfx
