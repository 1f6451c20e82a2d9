// The texture kind of resource: 1D, 2D and 3D textures with their views.
#pragma once

#include "gfx/resource.h"
#include "gfx/resource_desc.h"

namespace Orvo::Gfx {

// A 1D, 2D or 3D texture with its views. Colour textures get an unordered-access view, a shader-resource
// view and (2D only) a render-target view per copy; depth textures get one depth-stencil view and nothing
// else.
struct TextureRuntime : Resource {
    TextureDesc desc;
    gpu::Ref<gpu::Resource> textureA, textureB;
    gpu::Ref<gpu::UnorderedAccessView> uavA;
    gpu::Ref<gpu::ShaderResourceView> srvA;
    gpu::Ref<gpu::RenderTargetView> rtvA;
    gpu::Ref<gpu::DepthStencilView> dsv;
    gpu::Ref<gpu::UnorderedAccessView> uavB;
    gpu::Ref<gpu::ShaderResourceView> srvB;
    gpu::Ref<gpu::RenderTargetView> rtvB;

    // Copies the descriptor and creates everything at once.
    bool init(const TextureDesc& description, bool isDoubleBuffered);

    bool create() override;
    bool release() override;
    gpu::Resource* getResource(bool other) const override { return pick(textureA, textureB, other); }
    gpu::UnorderedAccessView* getUAV(bool other) const override { return pick(uavA, uavB, other); }
    gpu::ShaderResourceView* getSRV(bool other) const override { return pick(srvA, srvB, other); }
    gpu::RenderTargetView* getRTV(bool other) const override { return pick(rtvA, rtvB, other); }
    gpu::DepthStencilView* getDSV() const override { return dsv.get(); }

    // Writes a width x height region at the origin of level 0 of copy A; the region is clipped to the
    // texture, rows are read width x bytesPerTexel apart.
    void uploadRegion(const void* data, uint32_t width, uint32_t height, uint8_t bytesPerTexel);
    // Rebuilds the mip chain of both copies from level 0; only for textures made with generateMips.
    void generateMips();
};

// A TextureFormat index: the DXGI format and whether it is a depth format. An index outside the table
// gives UNKNOWN.
gpu::Format textureFormat(int32_t index);
bool isDepthFormatIndex(int32_t index);
// 1 + the halvings of the largest extent down to 1 when a mip chain is wanted, else 1.
uint32_t textureMipLevels(const TextureDesc& desc);

} // namespace Orvo::Gfx
