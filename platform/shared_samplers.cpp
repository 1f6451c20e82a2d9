#include "platform/shared_samplers.h"

namespace gpu {

SamplerDesc sharedSamplerDesc(uint32_t slot) {
    static constexpr TextureAddressMode kModes[3] = {TextureAddressMode::CLAMP, TextureAddressMode::BORDER,
                                                     TextureAddressMode::WRAP};
    SamplerDesc desc;
    desc.Filter = slot < 3 ? Filter::MIN_MAG_MIP_LINEAR : Filter::MIN_MAG_MIP_POINT;
    desc.AddressU = desc.AddressV = desc.AddressW = kModes[slot % 3];
    desc.MipLODBias = 0.0f;
    desc.MaxAnisotropy = 1;
    desc.ComparisonFunc = ComparisonFunc::NEVER;
    desc.MinLOD = -3.402823466e38f;
    desc.MaxLOD = 3.402823466e38f;
    return desc;
}

std::array<Ref<SamplerState>, kSharedSamplerCount> bindSharedSamplers(Device& device,
                                                                      DeviceContext& context) {
    std::array<Ref<SamplerState>, kSharedSamplerCount> samplers;
    SamplerState* raw[kSharedSamplerCount];
    for (uint32_t slot = 0; slot < kSharedSamplerCount; ++slot) {
        samplers[slot] = device.CreateSamplerState(sharedSamplerDesc(slot));
        raw[slot] = samplers[slot].get();
    }
    context.VSSetSamplers(0, kSharedSamplerCount, raw);
    context.PSSetSamplers(0, kSharedSamplerCount, raw);
    context.CSSetSamplers(0, kSharedSamplerCount, raw);
    return samplers;
}

} // namespace gpu
