// The six sampler states that every stage sees at s0-s5 for the whole run. Programs pick a
// sampler by slot: the show's content samples through slot 0, the final copy through slot 3.
#pragma once

#include "platform/gpu.h"

#include <array>

namespace gpu {

constexpr uint32_t kSharedSamplerCount = 6;

// Slots 0-2 filter linearly, 3-5 take the nearest texel; within each group the address mode is
// clamp, border (transparent black), wrap. No LOD clamp, no bias, no anisotropy.
SamplerDesc sharedSamplerDesc(uint32_t slot);

// Creates the six samplers and binds them to slots 0-5 of the vertex, pixel and compute stages.
// The context keeps them bound; the returned references let the caller hold them as well.
std::array<Ref<SamplerState>, kSharedSamplerCount> bindSharedSamplers(Device& device, DeviceContext& context);

} // namespace gpu
