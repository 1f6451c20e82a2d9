#include "gfx/texture_runtime.h"

#include "gfx/gpu_access.h"

#include <algorithm>

namespace Orvo::Gfx {

namespace {

gpu::ViewDimension viewDimension(int32_t dimension) {
    switch (dimension) {
    case Dimension1D:
        return gpu::ViewDimension::Texture1D;
    case Dimension3D:
        return gpu::ViewDimension::Texture3D;
    default:
        return gpu::ViewDimension::Texture2D;
    }
}

struct TextureShape {
    uint32_t width, height, depth, levels, bindFlags, miscFlags;
    gpu::Format format;
};

gpu::Ref<gpu::Resource> createTexture(gpu::Device& device, int32_t dimension, const TextureShape& s) {
    switch (dimension) {
    case Dimension1D:
        return device.CreateTexture1D({s.width, s.levels, s.format, s.bindFlags, s.miscFlags}, nullptr);
    case Dimension2D:
        return device.CreateTexture2D({s.width, s.height, s.levels, s.format, s.bindFlags, s.miscFlags},
                                      nullptr);
    case Dimension3D:
        return device.CreateTexture3D(
            {s.width, s.height, s.depth, s.levels, s.format, s.bindFlags, s.miscFlags}, nullptr);
    }
    return nullptr;
}

} // namespace

gpu::Format textureFormat(int32_t index) {
    switch (index) {
    case FormatR32Float:
        return gpu::Format::R32_FLOAT;
    case FormatR8G8B8A8Unorm:
        return gpu::Format::R8G8B8A8_UNORM;
    case FormatB8G8R8A8Unorm:
        return gpu::Format::B8G8R8A8_UNORM;
    case FormatR16G16B16A16Float:
        return gpu::Format::R16G16B16A16_FLOAT;
    case FormatR32G32B32A32Float:
        return gpu::Format::R32G32B32A32_FLOAT;
    case FormatD24UnormS8Uint:
        return gpu::Format::D24_UNORM_S8_UINT;
    case FormatD32Float:
        return gpu::Format::D32_FLOAT;
    case FormatR32Uint:
        return gpu::Format::R32_UINT;
    }
    return gpu::Format::UNKNOWN;
}

bool isDepthFormatIndex(int32_t index) {
    return index == FormatD24UnormS8Uint || index == FormatD32Float;
}

uint32_t textureMipLevels(const TextureDesc& desc) {
    if (!desc.generateMips || isDepthFormatIndex(desc.format)) return 1;
    uint32_t extent = desc.width;
    if (desc.dimension == Dimension2D || desc.dimension == Dimension3D)
        extent = std::max(extent, desc.height);
    if (desc.dimension == Dimension3D) extent = std::max(extent, desc.depth);
    uint32_t levels = 1;
    while (extent > 1) {
        extent >>= 1;
        ++levels;
    }
    return levels;
}

bool TextureRuntime::init(const TextureDesc& description, bool isDoubleBuffered) {
    desc = description;
    doubleBuffered = isDoubleBuffered;
    return create();
}

bool TextureRuntime::create() {
    gpu::Device* device = currentDevice();
    const gpu::Format format = textureFormat(desc.format);
    // A dimension or format outside the tables describes no texture the device could make.
    if (!device || format == gpu::Format::UNKNOWN || desc.dimension < Dimension1D ||
        desc.dimension > Dimension3D)
        return true;
    const bool depth = isDepthFormatIndex(desc.format);
    TextureShape shape{std::max(desc.width, 1u),
                       std::max(desc.height, 1u),
                       std::max(desc.depth, 1u),
                       textureMipLevels(desc),
                       0,
                       0,
                       format};
    if (desc.dimension == Dimension2D)
        shape.bindFlags =
            depth ? gpu::BIND_DEPTH_STENCIL
                  : gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS | gpu::BIND_RENDER_TARGET;
    else
        shape.bindFlags = gpu::BIND_SHADER_RESOURCE | gpu::BIND_UNORDERED_ACCESS |
                          (shape.levels > 1 ? gpu::BIND_RENDER_TARGET : 0u);
    shape.miscFlags = shape.levels > 1 ? gpu::RESOURCE_MISC_GENERATE_MIPS : 0u;

    textureA = createTexture(*device, desc.dimension, shape);
    if (doubleBuffered) textureB = createTexture(*device, desc.dimension, shape);

    if (depth) {
        if (textureA) {
            const gpu::DepthStencilViewDesc dsvDesc{format, 0};
            dsv = device->CreateDepthStencilView(textureA.get(), &dsvDesc);
        }
        return true;
    }

    const gpu::ViewDimension dimension = viewDimension(desc.dimension);
    gpu::UnorderedAccessViewDesc uavDesc;
    uavDesc.Format = format;
    uavDesc.ViewDimension = dimension;
    uavDesc.MipSlice = 0;
    uavDesc.FirstWSlice = 0;
    uavDesc.WSize = desc.depth;
    gpu::ShaderResourceViewDesc srvDesc;
    srvDesc.Format = format;
    srvDesc.ViewDimension = dimension;
    srvDesc.MostDetailedMip = 0;
    srvDesc.MipLevels = shape.levels;
    const gpu::RenderTargetViewDesc rtvDesc{format, 0};

    // Views of a texture the device refused would have nothing to view.
    auto forEachCopy = [&](auto make) {
        if (textureA) make(textureA.get(), false);
        if (doubleBuffered && textureB) make(textureB.get(), true);
    };
    forEachCopy([&](gpu::Resource* t, bool b) {
        (b ? uavB : uavA) = device->CreateUnorderedAccessView(t, &uavDesc);
    });
    forEachCopy(
        [&](gpu::Resource* t, bool b) { (b ? srvB : srvA) = device->CreateShaderResourceView(t, &srvDesc); });
    if (desc.dimension == Dimension2D)
        forEachCopy([&](gpu::Resource* t, bool b) {
            (b ? rtvB : rtvA) = device->CreateRenderTargetView(t, &rtvDesc);
        });
    return true;
}

bool TextureRuntime::release() {
    textureA.reset();
    textureB.reset();
    uavA.reset();
    srvA.reset();
    rtvA.reset();
    dsv.reset();
    uavB.reset();
    srvB.reset();
    rtvB.reset();
    return true;
}

void TextureRuntime::uploadRegion(const void* data, uint32_t width, uint32_t height, uint8_t bytesPerTexel) {
    gpu::DeviceContext* context = currentContext();
    if (!context || !textureA || !data) return;
    // Direct3D drops an update whose box leaves the texture; clipping keeps the part that fits.
    const uint32_t texWidth = std::max(desc.width, 1u);
    const uint32_t texHeight = desc.dimension == Dimension1D ? 1u : std::max(desc.height, 1u);
    const gpu::Box box{0, 0, 0, std::min(width, texWidth), std::min(height, texHeight), 1};
    context->UpdateSubresource(textureA.get(), 0, &box, data, width * bytesPerTexel, 0);
}

void TextureRuntime::generateMips() {
    gpu::DeviceContext* context = currentContext();
    if (!desc.generateMips || !context) return;
    // A depth texture or a refused creation has no shader-resource view to rebuild from.
    if (srvA) context->GenerateMips(srvA.get());
    if (srvB) context->GenerateMips(srvB.get());
}

} // namespace Orvo::Gfx
