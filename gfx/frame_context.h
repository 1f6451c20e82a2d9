// The per-frame context: time, screen and camera matrices. Its header is the front of the shared
// constant buffer "ContextBuffer" that every shader reads, so its layout is fixed byte for byte.
#pragma once

#include "base/matrix.h"
#include "gfx/resource_desc.h"

#include <cstddef>
#include <cstdint>

namespace gpu {
class Device;
class DeviceContext;
} // namespace gpu

namespace Orvo::Gfx {

struct FrameContextHeader {
    float time;                 // music time in seconds
    uint32_t frame;             // frames rendered before this one
    float elapsedTime;          // this frame's time minus the previous frame's (0 before the first)
    float aspectRatio;          // computed at publication
    base::Float2 resolution;    // screen width and height in pixels
    base::Float2 invResolution; // computed at publication
    base::Matrix4 viewMatrix;
    base::Matrix4 projectionMatrix;
    base::Matrix4 viewProjectionMatrix;
    base::Matrix4 invViewMatrix;
    base::Matrix4 invProjectionMatrix;
    base::Matrix4 invViewProjectionMatrix;
    base::Matrix4 lastViewMatrix; // as published the frame before; zero on the first frame
    base::Matrix4 lastProjectionMatrix;
    base::Matrix4 lastViewProjectionMatrix;
};
static_assert(sizeof(FrameContextHeader) == 608);
static_assert(offsetof(FrameContextHeader, frame) == 4);
static_assert(offsetof(FrameContextHeader, elapsedTime) == 8);
static_assert(offsetof(FrameContextHeader, aspectRatio) == 12);
static_assert(offsetof(FrameContextHeader, resolution) == 16);
static_assert(offsetof(FrameContextHeader, invResolution) == 24);
static_assert(offsetof(FrameContextHeader, viewMatrix) == 32);
static_assert(offsetof(FrameContextHeader, projectionMatrix) == 96);
static_assert(offsetof(FrameContextHeader, viewProjectionMatrix) == 160);
static_assert(offsetof(FrameContextHeader, invViewMatrix) == 224);
static_assert(offsetof(FrameContextHeader, invProjectionMatrix) == 288);
static_assert(offsetof(FrameContextHeader, invViewProjectionMatrix) == 352);
static_assert(offsetof(FrameContextHeader, lastViewMatrix) == 416);
static_assert(offsetof(FrameContextHeader, lastProjectionMatrix) == 480);
static_assert(offsetof(FrameContextHeader, lastViewProjectionMatrix) == 544);

struct FrameContext {
    FrameContextHeader header;
    // Not owned: the window and device set-up owns them.
    gpu::Device* device;
    gpu::DeviceContext* immediateContext;

    // Makes this frame current: copies time, frame, elapsed time, resolution and the camera matrices into
    // the current frame context, keeps its previous matrices as the last… ones, derives the products and
    // inverses, and records the header size in the shared context-buffer descriptor. Only time, frame,
    // elapsedTime, resolution, viewMatrix and projectionMatrix of this context are read.
    void publish() const;
};

// The process-wide current frame context, zero until the first installation and publication.
extern FrameContext currentFrameContext;

// The size last asked of the shared constant buffer: the frame publication records the header's, the frame
// execution the whole block's, and makes the buffer anew only when its own size differs.
extern Orvo::Gfx::BufferDesc contextBufferDesc;

} // namespace Orvo::Gfx
