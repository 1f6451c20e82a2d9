#include "gfx/context_buffer.h"

#include "gfx/gpu_access.h"

namespace Orvo::Gfx {

BufferRuntime& sharedContextBuffer() {
    static BufferRuntime* const kBuffer = new BufferRuntime;
    return *kBuffer;
}

void refreshContextBuffer(const void* block, uint32_t size) {
    BufferRuntime& buffer = sharedContextBuffer();
    // The descriptor takes the block's size whatever the frame publication recorded; the buffer is made
    // anew only when it does not exist or has another size.
    contextBufferDesc.stride = size;
    contextBufferDesc.constant = true;
    if (!buffer.bufferA || bufferByteWidth(buffer.desc) != bufferByteWidth(contextBufferDesc)) {
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
