// Making a device current for the graphics runtime.
#pragma once

#include "gfx/frame_context.h"

namespace Orvo::Gfx {

// Copies the header into the current frame context, makes the context's device and immediate context the
// ones every resource and pass uses, and binds the six shared samplers to slots s0-s5 of the vertex, pixel
// and compute stages: 0 linear clamp, 1 linear border, 2 linear wrap, 3 point clamp, 4 point border,
// 5 point wrap. The bindings keep the samplers alive. The shared constant buffer of an earlier device is
// dropped.
void installFrameContext(const FrameContext& context);

// Drops the runtime's own GPU objects (the shared constant buffer) and forgets the device; for an orderly
// shut-down or a test that destroys its device. Scenes built on the device must be destroyed first.
void releaseFrameContext();

} // namespace Orvo::Gfx
