#include "install_frame_context.h"

#include "context_buffer.h"

namespace Orvo::Gfx {

namespace {

constexpr uint32_t sharedSamplerCount = 6;

gpu::SamplerDesc sharedSamplerDesc(uint32_t slot) {
    using A = gpu::TextureAddressMode;
    constexpr A addressBySlot[] = {A::CLAMP, A::BORDER, A::WRAP};
    gpu::SamplerDesc desc;
    desc.Filter = slot < 3 ? gpu::Filter::MIN_MAG_MIP_LINEAR : gpu::Filter::MIN_MAG_MIP_POINT;
    desc.AddressU = desc.AddressV = desc.AddressW = addressBySlot[slot % 3];
    desc.MipLODBias = 0.0f;
    desc.MaxAnisotropy = 1;
    desc.ComparisonFunc = gpu::ComparisonFunc::NEVER;
    for (float& channel : desc.BorderColor) channel = 0.0f;
    desc.MinLOD = -3.402823466e38f;
    desc.MaxLOD = 3.402823466e38f;
    return desc;
}

} // namespace

void installFrameContext(const FrameContext& context) {
    dropContextBuffer();
    currentFrameContext.header = context.header;
    currentFrameContext.device = context.device;
    currentFrameContext.immediateContext = context.immediateContext;
    if (!context.device || !context.immediateContext) return;

    gpu::Ref<gpu::SamplerState> samplers[sharedSamplerCount];
    gpu::SamplerState* bound[sharedSamplerCount];
    for (uint32_t slot = 0; slot < sharedSamplerCount; ++slot) {
        samplers[slot] = context.device->CreateSamplerState(sharedSamplerDesc(slot));
        bound[slot] = samplers[slot].get();
    }
    context.immediateContext->VSSetSamplers(0, sharedSamplerCount, bound);
    context.immediateContext->PSSetSamplers(0, sharedSamplerCount, bound);
    context.immediateContext->CSSetSamplers(0, sharedSamplerCount, bound);
}

void releaseFrameContext() {
    dropContextBuffer();
    currentFrameContext.device = nullptr;
    currentFrameContext.immediateContext = nullptr;
}

} // namespace Orvo::Gfx
