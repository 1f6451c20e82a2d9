#include "gfx/install_frame_context.h"

#include "gfx/context_buffer.h"
#include "platform/shared_samplers.h"

namespace Orvo::Gfx {

void installFrameContext(const FrameContext& context) {
    dropContextBuffer();
    currentFrameContext.header = context.header;
    currentFrameContext.device = context.device;
    currentFrameContext.immediateContext = context.immediateContext;
    if (!context.device || !context.immediateContext) return;

    // The bindings keep the samplers alive for the rest of the run.
    gpu::bindSharedSamplers(*context.device, *context.immediateContext);
}

void releaseFrameContext() {
    dropContextBuffer();
    currentFrameContext.device = nullptr;
    currentFrameContext.immediateContext = nullptr;
}

} // namespace Orvo::Gfx
