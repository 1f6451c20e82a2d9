#include "gfx/frame_context.h"

using namespace base;

namespace Orvo::Gfx {

FrameContext currentFrameContext = {};

// No size is recorded until the first publication. The counts start at 1 so that the element count
// (countX x countY x countZ) is never zero: a buffer created from it always has the recorded size.
Orvo::Gfx::BufferDesc contextBufferDesc = {
    .constant = false, .stride = 0, .countX = 1, .countY = 1, .countZ = 1, .initialData = nullptr};

void FrameContext::publish() const {
    FrameContextHeader& c = currentFrameContext.header;
    const FrameContextHeader& l = header;
    c.time = l.time;
    c.frame = l.frame;
    c.elapsedTime = l.elapsedTime;
    c.resolution = l.resolution;
    c.invResolution = {1.0f / l.resolution.x, 1.0f / l.resolution.y};
    c.lastViewMatrix = c.viewMatrix;
    c.lastProjectionMatrix = c.projectionMatrix;
    c.lastViewProjectionMatrix = c.viewProjectionMatrix;
    c.viewMatrix = l.viewMatrix;
    c.projectionMatrix = l.projectionMatrix;
    c.viewProjectionMatrix = multiplyMatrices(l.viewMatrix, l.projectionMatrix);
    c.invViewMatrix = invertMatrix(c.viewMatrix);
    c.invProjectionMatrix = invertMatrix(c.projectionMatrix);
    c.invViewProjectionMatrix = invertMatrix(c.viewProjectionMatrix);
    contextBufferDesc.constant = true;
    contextBufferDesc.stride = sizeof(FrameContextHeader);
    contextBufferDesc.countX = 1;
    c.aspectRatio = c.invResolution.y * c.resolution.x;
}

} // namespace Orvo::Gfx
