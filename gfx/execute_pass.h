// One pass of a frame: bind the context block, the pass's views and shaders, draw or dispatch, and leave
// nothing but the constant buffer and the samplers bound, so that the next pass can read what this one
// wrote.
#pragma once

#include "gfx/pass.h"

namespace Orvo::Gfx {

// Input slots t0-t15 of every stage; render targets 0-7; unordered-access slots u0-u7. Bindings beyond
// these ranges have no register and are left out.
constexpr uint32_t kInputSlotCount = gpu::COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT;
constexpr uint32_t kTargetSlotCount = gpu::SIMULTANEOUS_RENDER_TARGET_COUNT;
constexpr uint32_t kOutputSlotCount = gpu::UAV_SLOT_COUNT;

// Skipped entirely when the pass lacks a shader, a first render target, or a row of the blend or
// topology table. Binds the pass's own state objects, first remaking those whose descriptor fields
// changed since they were made.
void executeGraphicsPass(GraphicsPass& pass, const void* block, uint32_t size);
// Skipped entirely when the pass lacks its compute shader.
void executeComputePass(const ComputePass& pass, const void* block, uint32_t size);

// Groups of 8 threads covering `threads`, at least one.
uint32_t dispatchGroupCount(uint32_t threads);

} // namespace Orvo::Gfx
