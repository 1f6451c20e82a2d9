#pragma once
// The fixed pipeline state of graphics passes: the blend table, the topology table and the rasterizer
// description. A mode or topology outside its table has no row; such a pass is not drawn.
#include "platform/gpu.h"

#include <optional>

namespace Orvo::Gfx {

// Row `mode` (0-3) applied to render target 0 with BlendEnable = enabled, write mask all channels.
std::optional<gpu::BlendDesc> passBlendDesc(int32_t mode, bool enabled);
// 0 point list, 1 line list, 2 line strip, 3 triangle list, 4 triangle strip.
std::optional<gpu::PrimitiveTopology> passTopology(int32_t topology);
// Solid fill, back or no culling, clockwise front faces, depth clip on, no bias.
gpu::RasterizerDesc passRasterizerDesc(bool cullBack);

} // namespace Orvo::Gfx
