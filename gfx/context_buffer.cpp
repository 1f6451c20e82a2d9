#include "context_buffer.h"

#include "gpu_access.h"

namespace Orvo::Gfx {

BufferRuntime& sharedContextBuffer() {
    static BufferRuntime* const buffer = new BufferRuntime;
    return *buffer;
}

void refreshContextBuffer(const void* block, uint32_t size) {
    BufferRuntime& buffer = sharedContextBuffer();
    if (contextBufferDesc.stride != size) {
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
