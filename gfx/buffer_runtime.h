// The buffer kind of resource: constant buffers and structured or typed buffers with their views.
#pragma once

#include "gfx/resource.h"
#include "gfx/resource_desc.h"

namespace Orvo::Gfx {

// A constant buffer (no views, one copy) or a structured buffer with a shader-resource and an
// unordered-access view over all its elements.
struct BufferRuntime : Resource {
    BufferDesc desc;
    gpu::Ref<gpu::Buffer> bufferA, bufferB;
    gpu::Ref<gpu::UnorderedAccessView> uavA;
    gpu::Ref<gpu::ShaderResourceView> srvA;
    gpu::Ref<gpu::UnorderedAccessView> uavB;
    gpu::Ref<gpu::ShaderResourceView> srvB;
    // UNKNOWN: a structured buffer. A typed format makes the views typed (Buffer<int>, Buffer<float>),
    // which data buffers use.
    gpu::Format viewFormat = gpu::Format::UNKNOWN;

    bool init(const BufferDesc& description, bool isDoubleBuffered);

    bool create() override;
    bool release() override;
    gpu::Resource* getResource(bool other) const override { return pick(bufferA, bufferB, other); }
    gpu::UnorderedAccessView* getUAV(bool other) const override { return pick(uavA, uavB, other); }
    gpu::ShaderResourceView* getSRV(bool other) const override { return pick(srvA, srvB, other); }
};

// countX x countY x countZ x stride rounded up to a multiple of 16; 0 when the size does not fit the
// 32 bits of a buffer's byte width.
uint32_t bufferByteWidth(const BufferDesc& desc);

} // namespace Orvo::Gfx
