#include "gfx/pass_state.h"

#include "gfx/gpu_access.h"

namespace Orvo::Gfx {

namespace {

using B = gpu::Blend;

struct BlendRow {
    B src, dest, srcAlpha, destAlpha;
};

constexpr BlendRow kBlendTable[] = {
    {B::ONE, B::ONE, B::ONE, B::ONE},                            // additive
    {B::SRC_ALPHA, B::INV_SRC_ALPHA, B::INV_DEST_ALPHA, B::ONE}, // over, alpha accumulates coverage
    {B::SRC_ALPHA, B::INV_SRC_ALPHA, B::ONE, B::ZERO},           // over, alpha replaced
    {B::ZERO, B::INV_SRC_COLOR, B::ZERO, B::INV_SRC_ALPHA},      // darkens by the source colour
};

constexpr gpu::PrimitiveTopology kTopologyTable[] = {
    gpu::PrimitiveTopology::POINTLIST,     gpu::PrimitiveTopology::LINELIST,
    gpu::PrimitiveTopology::LINESTRIP,     gpu::PrimitiveTopology::TRIANGLELIST,
    gpu::PrimitiveTopology::TRIANGLESTRIP,
};

} // namespace

std::optional<gpu::BlendDesc> passBlendDesc(int32_t mode, bool enabled) {
    if (mode < 0 || mode >= int32_t(std::size(kBlendTable))) return std::nullopt;
    const BlendRow& row = kBlendTable[mode];
    gpu::BlendDesc desc;
    desc.AlphaToCoverageEnable = false;
    desc.IndependentBlendEnable = false;
    gpu::RenderTargetBlendDesc& rt = desc.RenderTarget[0];
    rt.BlendEnable = enabled;
    rt.SrcBlend = row.src;
    rt.DestBlend = row.dest;
    rt.BlendOp = gpu::BlendOp::ADD;
    rt.SrcBlendAlpha = row.srcAlpha;
    rt.DestBlendAlpha = row.destAlpha;
    rt.BlendOpAlpha = gpu::BlendOp::ADD;
    rt.RenderTargetWriteMask = gpu::COLOR_WRITE_ENABLE_ALL;
    return desc;
}

std::optional<gpu::PrimitiveTopology> passTopology(int32_t topology) {
    if (topology < 0 || topology >= int32_t(std::size(kTopologyTable))) return std::nullopt;
    return kTopologyTable[topology];
}

gpu::RasterizerDesc passRasterizerDesc(bool cullBack) {
    gpu::RasterizerDesc desc;
    desc.FillMode = gpu::FillMode::SOLID;
    desc.CullMode = cullBack ? gpu::CullMode::BACK : gpu::CullMode::NONE;
    desc.FrontCounterClockwise = false;
    desc.DepthBias = 0;
    desc.DepthBiasClamp = 0.0f;
    desc.SlopeScaledDepthBias = 0.0f;
    desc.DepthClipEnable = true;
    desc.ScissorEnable = false;
    desc.MultisampleEnable = false;
    desc.AntialiasedLineEnable = false;
    return desc;
}

void refreshPassStates(PassStates& states, const GraphicsPassDesc& desc) {
    gpu::Device* device = currentDevice();
    if (!device) return;
    if (!states.made || states.cullBack != desc.cullBack)
        states.rasterizer = device->CreateRasterizerState(passRasterizerDesc(desc.cullBack));
    if (!states.made || states.blendMode != desc.blendMode || states.blendEnabled != desc.blendEnabled) {
        const auto blend = passBlendDesc(desc.blendMode, desc.blendEnabled);
        states.blend = blend ? device->CreateBlendState(*blend) : nullptr;
    }
    states.made = true;
    states.cullBack = desc.cullBack;
    states.blendMode = desc.blendMode;
    states.blendEnabled = desc.blendEnabled;
}

} // namespace Orvo::Gfx
