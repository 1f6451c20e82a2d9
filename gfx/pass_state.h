// The fixed pipeline state of graphics passes: the blend table, the topology table and the rasterizer
// description, and the state objects a pass makes from them. A mode or topology outside its table has no
// row; such a pass is not drawn.
#pragma once

#include "gfx/pass_desc.h"
#include "platform/gpu.h"

#include <optional>

namespace Orvo::Gfx {

// Row `mode` (0-3) applied to render target 0 with BlendEnable = enabled, write mask all channels.
std::optional<gpu::BlendDesc> passBlendDesc(int32_t mode, bool enabled);
// 0 point list, 1 line list, 2 line strip, 3 triangle list, 4 triangle strip.
std::optional<gpu::PrimitiveTopology> passTopology(int32_t topology);
// Solid fill, back or no culling, clockwise front faces, depth clip on, no bias.
gpu::RasterizerDesc passRasterizerDesc(bool cullBack);

// A graphics pass's rasterizer and blend state objects, with the descriptor fields they were made for.
struct PassStates {
    gpu::Ref<gpu::RasterizerState> rasterizer;
    gpu::Ref<gpu::BlendState> blend; // null while the blend mode has no row
    bool made = false;               // whether a device made them; the fields below say for what
    bool cullBack = false;
    int32_t blendMode = 0;
    bool blendEnabled = false;
};

// Makes, on the current device, each state object whose descriptor fields differ from the ones it was
// made for (every object the first time); objects that still match are kept. Without a device nothing
// changes.
void refreshPassStates(PassStates& states, const GraphicsPassDesc& desc);

} // namespace Orvo::Gfx
