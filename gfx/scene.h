// The scene: context variables, the resource and pass registries, the pass list in execution order and
// the texture that ends on screen. renderFrame runs the list once per frame.
#pragma once

#include "gfx/id_registry.h"
#include "gfx/pass.h"
#include "gfx/pass_plan.h"
#include "gfx/pass_timer.h"
#include "gfx/texture_runtime.h"
#include "gfx/variable_packer.h"

#include <memory>
#include <vector>

namespace Orvo::Gfx {

enum PassListKind : int32_t {
    PassListCompute = 0,
    PassListGraphics = 1,
};

// A pass of the list: kind 1 runs `graphics`, kind 0 runs `compute`, any other kind is skipped.
struct PassListEntry {
    int32_t kind;
    union {
        GraphicsPass* graphics;
        ComputePass* compute;
    };

    static PassListEntry of(GraphicsPass* pass) {
        PassListEntry entry{PassListGraphics, {}};
        entry.graphics = pass;
        return entry;
    }
    static PassListEntry of(ComputePass* pass) {
        PassListEntry entry{PassListCompute, {}};
        entry.compute = pass;
        return entry;
    }
};

// Ownership: the scene deletes, when it is destroyed, every resource of `resources`, every pass of
// `graphicsPasses` and `computePasses` (each object once, whatever the number of ids it is under), and
// the texture and pass that appendOutputPass made. Builders allocate them with new and register them.
struct Scene {
    base::DynArray<sync_tracks::ContextVariable> variables; // in constant-buffer order
    IdRegistry<Resource> resources;
    IdRegistry<GraphicsPass> graphicsPasses;
    IdRegistry<ComputePass> computePasses;
    TextureRuntime* output = nullptr;
    base::DynArray<PassListEntry> passes; // execution order
    bool firstFrame = false;              // set by the builder as its last step
    VariablePacker packer;
    PassTimer* timer = nullptr; // when set, measures every pass that runs; not owned
    // Leaves out the active passes whose work the frame does not use (gfx/pass_plan.h); the picture is
    // the same either way.
    bool skipUnneededPasses = passSkippingWanted();

    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    ~Scene();

    // Assembles the context block (frame header + packed variables), runs every pass whose activation
    // allows it and whose work the frame needs (gfx/pass_plan.h) with the block in the shared constant
    // buffer, flips the double-buffered resources, and returns `output`. Reads the current frame
    // context's header and device. Once a frame has run, the next allocates nothing unless the
    // variables or a pass's descriptor changed.
    TextureRuntime* renderFrame();

    // Adds the final stage: a screen-sized texture and a full-screen pass ("output_vs", "output_ps") that
    // copies the current `output` into it; the new texture becomes `output`. The caller then points its
    // render target at the presented image with useBackBuffer.
    void appendOutputPass(uint32_t screenWidth, uint32_t screenHeight);

    // The pass appendOutputPass made last; null before.
    GraphicsPass* outputPass() const { return outputPasses.empty() ? nullptr : outputPasses.back().get(); }

  private:
    std::vector<uint8_t> contextBlock_; // the frame's block; keeps its storage from frame to frame
    PassPlan plan_;                     // the frame's choice of passes
    std::vector<std::unique_ptr<TextureRuntime>> outputTextures;
    std::vector<std::unique_ptr<GraphicsPass>> outputPasses;
};

// Makes the output pass draw into `backBuffer` (the swap chain's image of the frame) instead of the texture
// appendOutputPass made; that texture then only gives the pass its viewport size. A back buffer larger
// than that (backWidth x backHeight) gets the picture in its middle; the pass clears the rest to black.
void useBackBuffer(Scene& scene, gpu::RenderTargetView* backBuffer, uint32_t backWidth, uint32_t backHeight);

// Whether a pass with this activation and window runs in a frame at `time`.
bool passIsActive(int32_t activation, float windowStart, float windowEnd, float time, bool firstFrame);

} // namespace Orvo::Gfx
