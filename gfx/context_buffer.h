// The one constant buffer of the process: every pass uploads the frame's context block into it and binds
// it at register b8 of its stages.
#pragma once

#include "gfx/buffer_runtime.h"

namespace Orvo::Gfx {

constexpr uint32_t kContextBufferSlot = 8;

// Lives until the process ends: its GPU object must never be released after the device is gone.
BufferRuntime& sharedContextBuffer();

// Records `size` in contextBufferDesc, creates the buffer from it when there is none or the one there has
// another byte width, then uploads the block.
void refreshContextBuffer(const void* block, uint32_t size);

// Releases the buffer and forgets its size, so that the next pass creates it anew on the current device.
void dropContextBuffer();

} // namespace Orvo::Gfx
