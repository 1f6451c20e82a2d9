// Sampler, rasterizer and blend states. A description is first normalised to what the backend uses of
// it, and an equal normalised description gets the object made before: every pass asking for the same
// state shares one, and the device keeps each one until it is destroyed.
#include "platform/vulkan/device_impl.h"
#include "platform/vulkan/formats.h"
#include "platform/vulkan/resources.h"

#include <algorithm>

namespace gpu::vulkan {

namespace {

VkBorderColor borderColorOf(const float c[4]) {
    if (c[3] == 0.0f) return VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    return c[0] == 1.0f ? VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE : VK_BORDER_COLOR_FLOAT_OPAQUE_BLACK;
}

SamplerDesc normalized(SamplerDesc d, float maxBias) {
    d.MipLODBias = std::clamp(d.MipLODBias, -maxBias, maxBias);
    // Neither anisotropic nor comparison filters exist here, so these fields never take effect.
    d.MaxAnisotropy = 1;
    d.ComparisonFunc = ComparisonFunc::NEVER;
    const bool border = d.AddressU == TextureAddressMode::BORDER ||
                        d.AddressV == TextureAddressMode::BORDER || d.AddressW == TextureAddressMode::BORDER;
    if (border)
        SnapBorderColor(d.BorderColor);
    else
        std::fill_n(d.BorderColor, 4, 0.0f);
    // Levels below 0 do not exist, so Direct3D's lowest-float minimum means level 0; a maximum beyond
    // Vulkan's "no clamp" value means no clamp at all.
    d.MinLOD = std::max(0.0f, d.MinLOD);
    d.MaxLOD = d.MaxLOD >= VK_LOD_CLAMP_NONE ? VK_LOD_CLAMP_NONE : std::max(d.MinLOD, d.MaxLOD);
    return d;
}

RasterizerDesc normalized(RasterizerDesc d) {
    // Scissor rectangles, multisampling and line antialiasing are not offered; the bias clamp only
    // matters with a bias.
    d.ScissorEnable = d.MultisampleEnable = d.AntialiasedLineEnable = false;
    if (d.DepthBias == 0 && d.SlopeScaledDepthBias == 0.0f) d.DepthBiasClamp = 0.0f;
    return d;
}

BlendDesc normalized(BlendDesc d) {
    const uint32_t used = d.IndependentBlendEnable ? SIMULTANEOUS_RENDER_TARGET_COUNT : 1;
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        RenderTargetBlendDesc& t = d.RenderTarget[i];
        if (i >= used) {
            t = {};
        } else if (!t.BlendEnable) {
            const uint8_t mask = t.RenderTargetWriteMask;
            t = {};
            t.RenderTargetWriteMask = mask;
        }
    }
    return d;
}

// The state of `cache` made from `desc`, or a new one made by `make` and kept there.
template <class Impl, class Desc, class Make>
Ref<Impl> shared(std::vector<Ref<Impl>>& cache, const Desc& desc, const Make& make) {
    for (const Ref<Impl>& state : cache)
        if (state->desc == desc) return state;
    Ref<Impl> state = make();
    if (state) cache.push_back(state);
    return state;
}

} // namespace

Ref<SamplerState> DeviceImpl::CreateSamplerState(const SamplerDesc& given) {
    if (!core_->pass(CheckSamplerDesc(given), "CreateSamplerState")) return nullptr;
    const SamplerDesc desc = normalized(given, core_->properties.limits.maxSamplerLodBias);
    return shared(samplers_, desc, [&]() -> Ref<SamplerStateImpl> {
        const bool linear = desc.Filter == Filter::MIN_MAG_MIP_LINEAR;
        VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
        info.magFilter = info.minFilter = linear ? VK_FILTER_LINEAR : VK_FILTER_NEAREST;
        info.mipmapMode = linear ? VK_SAMPLER_MIPMAP_MODE_LINEAR : VK_SAMPLER_MIPMAP_MODE_NEAREST;
        info.addressModeU = toVkAddressMode(desc.AddressU);
        info.addressModeV = toVkAddressMode(desc.AddressV);
        info.addressModeW = toVkAddressMode(desc.AddressW);
        info.mipLodBias = desc.MipLODBias;
        info.compareEnable = VK_FALSE;
        info.compareOp = toVkCompareOp(desc.ComparisonFunc);
        info.minLod = desc.MinLOD;
        info.maxLod = desc.MaxLOD;
        info.borderColor = borderColorOf(desc.BorderColor);
        VkSampler sampler = VK_NULL_HANDLE;
        if (vkCreateSampler(core_->device, &info, nullptr, &sampler) != VK_SUCCESS)
            return fail("sampler could not be created");
        return Ref<SamplerStateImpl>::adopt(new SamplerStateImpl(core_, sampler, desc));
    });
}

Ref<RasterizerState> DeviceImpl::CreateRasterizerState(const RasterizerDesc& desc) {
    if (!core_->pass(CheckRasterizerDesc(desc), "CreateRasterizerState")) return nullptr;
    const RasterizerDesc used = normalized(desc);
    return shared(rasterizers_, used,
                  [&] { return Ref<RasterizerStateImpl>::adopt(new RasterizerStateImpl(used)); });
}

Ref<BlendState> DeviceImpl::CreateBlendState(const BlendDesc& desc) {
    if (!core_->pass(CheckBlendDesc(desc), "CreateBlendState")) return nullptr;
    const BlendDesc used = normalized(desc);
    return shared(blends_, used, [&] { return Ref<BlendStateImpl>::adopt(new BlendStateImpl(used)); });
}

} // namespace gpu::vulkan
