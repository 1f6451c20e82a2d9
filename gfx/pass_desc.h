// Pass descriptors: plain values with defaults. A builder starts from the default, changes only what its
// pass needs and hands the descriptor to setupGraphicsPass or setupComputePass, which copy it.
#pragma once

#include "base/dyn_array.h"
#include "base/dyn_string.h"

#include <cstdint>

namespace Orvo::Gfx {

struct BufferRuntime;
struct Resource;
struct TextureRuntime;

// Which frames a pass runs in.
enum ActivationMode : int32_t {
    ActivationAlways = 0,
    ActivationFirstFrame = 1,
    ActivationWindow = 2, // windowStart <= time <= windowEnd, both ends inclusive
};

enum PipelineKind : int32_t {
    PipelineGraphics = 0, // vertex and pixel shader
    PipelineCompute = 1,
};

enum ResourceKind : int32_t {
    ResourceTexture = 0,
    ResourceBuffer = 1,
};

// The bytecode is that of the shader build (see shaders/shader_program.h). The entry names, the reserved
// text and the reserved pointer are carried along but never read: shaders come from the bytecode alone.
struct PassDesc {
    int32_t pipelineKind = PipelineGraphics;
    base::DynString vertexEntry{"vertex_main"};
    base::DynString pixelEntry{"pixel_main"};
    base::DynString computeEntry{"kernel_main"};
    base::DynString reservedText;
    const void* reservedPointer = nullptr;
    const void* vertexBytecode = nullptr;
    const void* pixelBytecode = nullptr;
    const void* computeBytecode = nullptr;
    uint32_t vertexBytecodeSize = 0;
    uint32_t pixelBytecodeSize = 0;
    uint32_t computeBytecodeSize = 0;
};

// A render target (a 2D colour texture) or the depth target (a 2D depth texture). The flag is carried but
// not read.
struct TargetBinding {
    TextureRuntime* resource = nullptr;
    bool flag = true;
};

// A shader-resource input or an unordered-access output; a null resource leaves its slot unbound.
// The last two fields tell the frame which passes it may leave out (see gfx/pass_plan.h).
struct ResourceBinding {
    int32_t kind = ResourceTexture;
    Resource* resource = nullptr;
    // Inputs: the name of a context variable that switches the input, a literal; the pass's programs
    // read the input only while that variable is above 0.5. Null: read in every frame.
    const char* switchedBy = nullptr;
    // Outputs: the programs also read what earlier frames left in the output (a simulation's state),
    // so the pass runs in every frame its activation allows. False: every frame rewrites all of it.
    bool keepsState = false;
};

// An instanced draw without vertex buffers; the default is a full-screen triangle that clears its targets
// to opaque black and runs every frame. With an index buffer the draw is indexed (vertexCount indices a
// instance), and with an arguments buffer too its counts come from that buffer when it runs.
struct GraphicsPassDesc : PassDesc {
    float clearColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool clear = true; // clears the targets, and the depth target to 1.0, before drawing
    bool depthEnabled = false;
    bool cullBack = false;
    bool blendEnabled = false;
    int32_t blendMode = 0; // row of the blend table, 0 to 3
    int32_t topology = 3;  // row of the topology table, 0 to 4; 3 is a triangle list
    uint32_t vertexCount = 3;
    uint32_t instanceCount = 1;
    int32_t activation = ActivationAlways;
    float windowStart = 0.0f;
    float windowEnd = 100000.0f;
    base::DynArray<TargetBinding> targets;  // render target i; the first one gives the viewport
    TargetBinding depth;                    // bound when depthEnabled and its resource is set
    base::DynArray<ResourceBinding> inputs; // input i at register t i of the vertex and the pixel stage
    BufferRuntime* indexBuffer = nullptr;   // 32-bit indices from its start
    BufferRuntime* drawArguments = nullptr; // the indexed draw's five arguments, at its start
};

// A dispatch of threadsX x threadsY x threadsZ threads in groups of 8 per axis.
struct ComputePassDesc : PassDesc {
    uint32_t threadsX = 8;
    uint32_t threadsY = 8;
    uint32_t threadsZ = 0;
    int32_t activation = ActivationAlways;
    float windowStart = 0.0f;
    float windowEnd = 100000.0f;
    base::DynArray<ResourceBinding> outputs; // output i at register u (inputs.count + i)
    base::DynArray<ResourceBinding> inputs;  // input i at register t i
};

} // namespace Orvo::Gfx
