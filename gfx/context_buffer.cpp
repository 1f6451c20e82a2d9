#include "gfx/context_buffer.h"

#include "gfx/gpu_access.h"

namespace Orvo::Gfx {

BufferRuntime& sharedContextBuffer() {
    static BufferRuntime* const kBuffer = new BufferRuntime;
    return *kBuffer;
}

void refreshContextBuffer(const void* block, uint32_t size) {
    BufferRuntime& buffer = sharedContextBuffer();
    // A buffer that does not exist yet is made even when the recorded size already matches (a block of
    // the bare header), so that the passes never run without their constants.
    if (contextBufferDesc.stride != size || !buffer.bufferA) {
        contextBufferDesc.stride = size;
        contextBufferDesc.constant = true;
        buffer.release();
        buffer.init(contextBufferDesc, false);
    }
    if (buffer.bufferA) currentContext()->UpdateSubresource(buffer.bufferA.get(), 0, nullptr, block, 0, 0);
}

void dropContextBuffer() {
    sharedContextBuffer().release();
    contextBufferDesc.stride = 0;
}

} // namespace Orvo::Gfx
