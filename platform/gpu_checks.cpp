// The checks of the GPU interface's rules, the views they resolve, and the log of their failures.
#include "platform/gpu_checks.h"

#include "platform/dxbc_container.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace gpu {

namespace {

// What the checks need of any resource, read through the interface alone.
struct ResourceFacts {
    ResourceDimension dimension = ResourceDimension::Buffer;
    BufferDesc buffer;
    uint32_t width = 1, height = 1, depth = 1;
    uint32_t mipLevels = 1;
    Format format = Format::UNKNOWN;
    uint32_t bindFlags = 0;
};

template <class Desc> void takeTexture(const Desc& d, uint32_t height, uint32_t depth, ResourceFacts* facts) {
    facts->width = d.Width;
    facts->height = height;
    facts->depth = depth;
    facts->mipLevels = MipLevelCount(d.Width, height, depth, d.MipLevels);
    facts->format = d.Format;
    facts->bindFlags = d.BindFlags;
}

ResourceFacts factsOf(Resource& resource) {
    ResourceFacts facts;
    facts.dimension = resource.GetDimension();
    switch (facts.dimension) {
    case ResourceDimension::Buffer:
        facts.buffer = static_cast<Buffer&>(resource).GetDesc();
        facts.width = facts.buffer.ByteWidth;
        facts.bindFlags = facts.buffer.BindFlags;
        break;
    case ResourceDimension::Texture1D:
        takeTexture(static_cast<Texture1D&>(resource).GetDesc(), 1, 1, &facts);
        break;
    case ResourceDimension::Texture2D: {
        const Texture2DDesc d = static_cast<Texture2D&>(resource).GetDesc();
        takeTexture(d, d.Height, 1, &facts);
        break;
    }
    case ResourceDimension::Texture3D: {
        const Texture3DDesc d = static_cast<Texture3D&>(resource).GetDesc();
        takeTexture(d, d.Height, d.Depth, &facts);
        break;
    }
    }
    return facts;
}

uint32_t mipExtent(uint32_t extent, uint32_t mip) {
    return std::max(1u, extent >> std::min(mip, 31u));
}

Check checkTexture(uint32_t width, uint32_t height, uint32_t depth, Format format, uint32_t bindFlags) {
    if (width == 0 || height == 0 || depth == 0) return Check::TextureEmpty;
    if (FormatByteSize(format) == 0) return Check::TextureFormat;
    const bool depthFormat = IsDepthFormat(format);
    if (((bindFlags & BIND_RENDER_TARGET) && depthFormat) ||
        ((bindFlags & BIND_DEPTH_STENCIL) && !depthFormat))
        return Check::TextureTargetFormat;
    return Check::Passed;
}

// The resource of a view, with the bind flag that kind of view needs.
Check checkViewed(Resource* resource, uint32_t bindFlag, ResourceFacts* facts) {
    if (!resource) return Check::ViewResource;
    *facts = factsOf(*resource);
    return facts->bindFlags & bindFlag ? Check::Passed : Check::ViewBindFlag;
}

// Where a buffer view's elements lie in the buffer. A null description views the whole buffer by its
// structure stride; a view with a format counts elements of that format. False when they do not fit.
bool bufferViewRange(const BufferDesc& buffer, Format format, uint32_t firstElement, uint32_t numElements,
                     bool described, ElementRange* range) {
    const uint32_t elementSize =
        format != Format::UNKNOWN ? FormatByteSize(format) : buffer.StructureByteStride;
    if (elementSize == 0) return false;
    if (!described) {
        firstElement = 0;
        numElements = buffer.ByteWidth / elementSize;
    }
    const uint64_t end = (uint64_t(firstElement) + numElements) * elementSize;
    if (numElements == 0 || end > buffer.ByteWidth) return false;
    range->offset = uint64_t(firstElement) * elementSize;
    range->size = uint64_t(numElements) * elementSize;
    return true;
}

template <class ViewDesc>
Check resolveBufferView(const ResourceFacts& facts, const ViewDesc* desc, ResolvedView* resolved) {
    const Format format = desc ? desc->Format : Format::UNKNOWN;
    ElementRange range;
    if (!bufferViewRange(facts.buffer, format, desc ? desc->FirstElement : 0, desc ? desc->NumElements : 0,
                         desc != nullptr, &range))
        return Check::ViewElements;
    *resolved = {ViewDimension::Buffer, format, 0, 0, range};
    return Check::Passed;
}

// A view of `count` levels of a texture from `first` on, in the description's format or else the texture's.
template <class ViewDesc>
ResolvedView textureView(const ResourceFacts& facts, const ViewDesc* desc, uint32_t first, uint32_t count) {
    // Both lists name the same kinds in the same order.
    static_assert(uint32_t(ViewDimension::Texture3D) == uint32_t(ResourceDimension::Texture3D));
    const Format format = desc && desc->Format != Format::UNKNOWN ? desc->Format : facts.format;
    return {ViewDimension(uint32_t(facts.dimension)), format, first, count, {}};
}

// The levels a shader-resource view of a texture reads: from MostDetailedMip on, MipLevels of them.
Check resolveSampledLevels(const ResourceFacts& facts, const ShaderResourceViewDesc* desc,
                           ResolvedView* view) {
    const uint32_t first = desc ? desc->MostDetailedMip : 0;
    if (first >= facts.mipLevels) return Check::ViewMips;
    const uint32_t count = desc && desc->MipLevels != ~0u ? desc->MipLevels : facts.mipLevels - first;
    if (count == 0 || uint64_t(first) + count > facts.mipLevels) return Check::ViewMips;
    *view = textureView(facts, desc, first, count);
    return Check::Passed;
}

// The one level an unordered-access view of a texture writes.
Check resolveStorageLevel(const ResourceFacts& facts, const UnorderedAccessViewDesc* desc,
                          ResolvedView* view) {
    const uint32_t mip = desc ? desc->MipSlice : 0;
    if (mip >= facts.mipLevels) return Check::ViewMips;
    // Storage views of 3D images cannot pick slices, so a 3D view always spans all of them.
    if (desc && facts.dimension == ResourceDimension::Texture3D &&
        (desc->FirstWSlice != 0 || (desc->WSize != ~0u && desc->WSize != mipExtent(facts.depth, mip))))
        return Check::ViewSlices;
    *view = textureView(facts, desc, mip, 1);
    return Check::Passed;
}

// What shader-resource and unordered-access views share: the resource and its bind flag, and a buffer's
// elements; `textureRule` checks a texture's levels and resolves them.
template <class ViewDesc>
Check checkResourceView(Resource* resource, uint32_t bindFlag, const ViewDesc* desc, ResolvedView* resolved,
                        Check (*textureRule)(const ResourceFacts&, const ViewDesc*, ResolvedView*)) {
    ResolvedView unused;
    ResolvedView* view = resolved ? resolved : &unused;
    ResourceFacts facts;
    if (Check c = checkViewed(resource, bindFlag, &facts); c != Check::Passed) return c;
    if (facts.dimension == ResourceDimension::Buffer) return resolveBufferView(facts, desc, view);
    return textureRule(facts, desc, view);
}

template <class ViewDesc>
Check resolveTargetView(Resource* resource, uint32_t bindFlag, const ViewDesc* desc, ResourceFacts* facts,
                        ResolvedView* resolved) {
    if (Check c = checkViewed(resource, bindFlag, facts); c != Check::Passed) return c;
    if (facts->dimension != ResourceDimension::Texture2D) return Check::ViewTargetDimension;
    const uint32_t mip = desc ? desc->MipSlice : 0;
    if (mip >= facts->mipLevels) return Check::ViewMips;
    *resolved = textureView(*facts, desc, mip, 1);
    return Check::Passed;
}

bool inRange(uint32_t value, uint32_t first, uint32_t last) {
    return value >= first && value <= last;
}

bool knownBlend(const RenderTargetBlendDesc& t) {
    for (Blend factor : {t.SrcBlend, t.DestBlend, t.SrcBlendAlpha, t.DestBlendAlpha}) {
        const uint32_t f = uint32_t(factor);
        if (!inRange(f, uint32_t(Blend::ZERO), uint32_t(Blend::INV_DEST_COLOR)) &&
            !inRange(f, uint32_t(Blend::BLEND_FACTOR), uint32_t(Blend::INV_BLEND_FACTOR)))
            return false;
    }
    return inRange(uint32_t(t.BlendOp), uint32_t(BlendOp::ADD), uint32_t(BlendOp::MAX)) &&
           inRange(uint32_t(t.BlendOpAlpha), uint32_t(BlendOp::ADD), uint32_t(BlendOp::MAX));
}

} // namespace

namespace {

struct CheckText {
    const char* name;
    const char* message;
};

#define MIRELANDT_CHECK_TEXT(code, message) {#code, message},
constexpr CheckText kCheckTexts[kCheckCount] = {{"Passed", "passed"},
                                                MIRELANDT_GPU_CHECKS(MIRELANDT_CHECK_TEXT)};
#undef MIRELANDT_CHECK_TEXT

const CheckText& textOf(Check check) {
    static constexpr CheckText kUnknown = {"?", "?"};
    return uint32_t(check) < kCheckCount ? kCheckTexts[uint32_t(check)] : kUnknown;
}

} // namespace

const char* CheckName(Check check) {
    return textOf(check).name;
}

const char* CheckMessage(Check check) {
    return textOf(check).message;
}

CheckLog::CheckLog() {
    const char* setting = std::getenv("MIRELANDT_GPU_CHECKS");
    print_ = setting && *setting && std::strcmp(setting, "0") != 0;
}

bool CheckLog::pass(Check check, const char* call) {
    if (check == Check::Passed) return true;
    last_ = check;
    if (print_ && !std::exchange(printed_[uint32_t(check)], true))
        std::fprintf(stderr, "%s%sgpu check %s failed: %s\n", call ? call : "", call ? ": " : "",
                     CheckName(check), CheckMessage(check));
    return false;
}

uint32_t MipLevelCount(uint32_t width, uint32_t height, uint32_t depth, uint32_t mipLevels) {
    const uint32_t fullChain = uint32_t(std::bit_width(std::max({width, height, depth, 1u})));
    return mipLevels == 0 ? fullChain : std::min(mipLevels, fullChain);
}

Check CheckBufferDesc(const BufferDesc& desc) {
    if (desc.ByteWidth == 0) return Check::BufferEmpty;
    if ((desc.MiscFlags & RESOURCE_MISC_BUFFER_STRUCTURED) &&
        (desc.StructureByteStride == 0 || desc.ByteWidth % desc.StructureByteStride != 0))
        return Check::BufferStride;
    // Direct3D 11 refuses both combinations; such buffers are written through typed (R32_UINT) views.
    if ((desc.MiscFlags & RESOURCE_MISC_BUFFER_STRUCTURED) &&
        ((desc.BindFlags & BIND_INDEX_BUFFER) || (desc.MiscFlags & RESOURCE_MISC_DRAWINDIRECT_ARGS)))
        return Check::BufferStructuredUse;
    return Check::Passed;
}

Check CheckTextureDesc(const Texture1DDesc& desc) {
    return checkTexture(desc.Width, 1, 1, desc.Format, desc.BindFlags);
}
Check CheckTextureDesc(const Texture2DDesc& desc) {
    return checkTexture(desc.Width, desc.Height, 1, desc.Format, desc.BindFlags);
}
Check CheckTextureDesc(const Texture3DDesc& desc) {
    return checkTexture(desc.Width, desc.Height, desc.Depth, desc.Format, desc.BindFlags);
}

Check CheckShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                              ResolvedView* resolved) {
    return checkResourceView(resource, BIND_SHADER_RESOURCE, desc, resolved, resolveSampledLevels);
}

Check CheckUnorderedAccessView(Resource* resource, const UnorderedAccessViewDesc* desc,
                               ResolvedView* resolved) {
    return checkResourceView(resource, BIND_UNORDERED_ACCESS, desc, resolved, resolveStorageLevel);
}

Check CheckRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc, ResolvedView* resolved) {
    ResolvedView unused;
    if (!resolved) resolved = &unused;
    ResourceFacts facts;
    if (Check c = resolveTargetView(resource, BIND_RENDER_TARGET, desc, &facts, resolved); c != Check::Passed)
        return c;
    return resolved->format == facts.format ? Check::Passed : Check::ViewTargetFormat;
}

Check CheckDepthStencilView(Resource* resource, const DepthStencilViewDesc* desc, ResolvedView* resolved) {
    ResolvedView unused;
    ResourceFacts facts;
    return resolveTargetView(resource, BIND_DEPTH_STENCIL, desc, &facts, resolved ? resolved : &unused);
}

Check CheckSamplerDesc(const SamplerDesc& desc) {
    if (desc.Filter != Filter::MIN_MAG_MIP_POINT && desc.Filter != Filter::MIN_MAG_MIP_LINEAR)
        return Check::SamplerFilter;
    for (TextureAddressMode mode : {desc.AddressU, desc.AddressV, desc.AddressW})
        if (!inRange(uint32_t(mode), uint32_t(TextureAddressMode::WRAP),
                     uint32_t(TextureAddressMode::BORDER)))
            return Check::SamplerAddress;
    return desc.MinLOD <= desc.MaxLOD ? Check::Passed : Check::SamplerLod;
}

Check CheckRasterizerDesc(const RasterizerDesc& desc) {
    return inRange(uint32_t(desc.FillMode), uint32_t(FillMode::WIREFRAME), uint32_t(FillMode::SOLID)) &&
                   inRange(uint32_t(desc.CullMode), uint32_t(CullMode::NONE), uint32_t(CullMode::BACK))
               ? Check::Passed
               : Check::RasterizerMode;
}

Check CheckBlendDesc(const BlendDesc& desc) {
    const uint32_t used = desc.IndependentBlendEnable ? SIMULTANEOUS_RENDER_TARGET_COUNT : 1;
    for (uint32_t i = 0; i < used; ++i) {
        if (!knownBlend(desc.RenderTarget[i])) return Check::BlendFactor;
        if (desc.RenderTarget[i].RenderTargetWriteMask & ~COLOR_WRITE_ENABLE_ALL)
            return Check::BlendWriteMask;
    }
    return Check::Passed;
}

Check CheckShaderBytecode(const void* bytecode, size_t size, ShaderStage stage, ShaderBytecodeView* parsed) {
    ShaderBytecodeView unused;
    if (!parsed) parsed = &unused;
    if (!ParseShaderBytecode(bytecode, size, parsed)) return Check::ShaderBytecode;
    if (parsed->stage != stage) return Check::ShaderStage;
    if (!parsed->dxbc) return Check::Passed;
    // The DXBC part is read whole (checksum included) here, once per shader, so that a backend that takes
    // it hands the driver only a sound container of the stage asked for.
    DxbcContainer container;
    if (!ReadDxbcContainer(parsed->dxbc, parsed->dxbcByteCount, &container).empty())
        return Check::ShaderBytecode;
    static constexpr DxbcProgramType kProgramTypes[] = {DxbcProgramType::Vertex, DxbcProgramType::Pixel,
                                                        DxbcProgramType::Compute};
    return container.programType == kProgramTypes[uint32_t(stage)] ? Check::Passed : Check::ShaderStage;
}

Check CheckQueryDesc(const QueryDesc& desc) {
    return desc.Query == QueryType::TIMESTAMP || desc.Query == QueryType::TIMESTAMP_DISJOINT
               ? Check::Passed
               : Check::QueryType;
}

Check CheckSwapChainDesc(const SwapChainDesc& desc) {
    return desc.Format == Format::R8G8B8A8_UNORM || desc.Format == Format::B8G8R8A8_UNORM
               ? Check::Passed
               : Check::SwapChainFormat;
}

Check CheckSlots(uint32_t start, uint32_t count, uint32_t slotCount) {
    return uint64_t(start) + count <= slotCount ? Check::Passed : Check::SlotRange;
}

Check CheckRenderTargets(uint32_t count) {
    return count <= SIMULTANEOUS_RENDER_TARGET_COUNT ? Check::Passed : Check::TargetCount;
}

Check CheckTopology(PrimitiveTopology topology) {
    return uint32_t(topology) <= uint32_t(PrimitiveTopology::TRIANGLESTRIP) ? Check::Passed : Check::Topology;
}

Check CheckDraw(const DrawBindings& bound) {
    if (!bound.vertexShader) return Check::DrawVertexShader;
    if (bound.topology == PrimitiveTopology::UNDEFINED) return Check::DrawTopology;
    if (!(bound.viewport.Width > 0.0f) || !(bound.viewport.Height > 0.0f)) return Check::DrawViewport;
    return bound.target ? Check::Passed : Check::DrawTarget;
}

Check CheckIndexBuffer(const Buffer* buffer, Format format, uint32_t offset) {
    if (!buffer) return Check::Passed;
    return (buffer->GetDesc().BindFlags & BIND_INDEX_BUFFER) && format == Format::R32_UINT && offset % 4 == 0
               ? Check::Passed
               : Check::IndexBuffer;
}

Check CheckDrawIndexed(const DrawBindings& bound, const Buffer* indexBuffer, uint32_t offset,
                       uint32_t startIndex, uint32_t indexCount) {
    if (Check c = CheckDraw(bound); c != Check::Passed) return c;
    if (!indexBuffer) return Check::DrawIndexBuffer;
    const uint64_t end = offset + (uint64_t(startIndex) + indexCount) * 4;
    return end <= indexBuffer->GetDesc().ByteWidth ? Check::Passed : Check::DrawIndexBuffer;
}

Check CheckDrawIndexedIndirect(const DrawBindings& bound, const Buffer* indexBuffer, const Buffer* arguments,
                               uint32_t offset) {
    if (Check c = CheckDraw(bound); c != Check::Passed) return c;
    if (!indexBuffer) return Check::DrawIndexBuffer;
    if (!arguments || !(arguments->GetDesc().MiscFlags & RESOURCE_MISC_DRAWINDIRECT_ARGS) || offset % 4 != 0)
        return Check::DrawArguments;
    return uint64_t(offset) + kDrawIndexedArgumentsSize <= arguments->GetDesc().ByteWidth
               ? Check::Passed
               : Check::DrawArguments;
}

Check CheckDispatch(bool computeShader, uint32_t x, uint32_t y, uint32_t z) {
    // The most thread groups a dispatch may ask for in each dimension.
    constexpr uint32_t kMaxGroups = 65535;
    if (!computeShader) return Check::DispatchShader;
    return x <= kMaxGroups && y <= kMaxGroups && z <= kMaxGroups ? Check::Passed : Check::DispatchSize;
}

Check CheckClearRenderTarget(const RenderTargetView* view, const float* color) {
    return view && color ? Check::Passed : Check::ClearView;
}

Check CheckClearDepthStencil(const DepthStencilView* view, uint32_t flags) {
    if (!view) return Check::ClearView;
    return flags & (CLEAR_DEPTH | CLEAR_STENCIL) ? Check::Passed : Check::ClearFlags;
}

Check CheckUpdateSubresource(Resource* resource, uint32_t subresource, const Box* box, const void* data) {
    if (!resource || !data) return Check::TransferResource;
    const ResourceFacts facts = factsOf(*resource);
    if (subresource >= facts.mipLevels) return Check::Subresource;
    if (!box) return Check::Passed;
    // A buffer's box spans bytes left to right; its other sides mean nothing.
    if (facts.dimension == ResourceDimension::Buffer)
        return box->left < box->right && box->right <= facts.buffer.ByteWidth ? Check::Passed
                                                                              : Check::UpdateBox;
    const uint32_t w = mipExtent(facts.width, subresource), h = mipExtent(facts.height, subresource),
                   d = mipExtent(facts.depth, subresource);
    const bool inside = box->left < box->right && box->top < box->bottom && box->front < box->back &&
                        box->right <= w && box->bottom <= h && box->back <= d;
    return inside ? Check::Passed : Check::UpdateBox;
}

Check CheckReadBack(Resource* resource, uint32_t subresource, const void* destination, size_t destinationSize,
                    uint32_t rowPitch) {
    if (!resource || !destination) return Check::TransferResource;
    const ResourceFacts facts = factsOf(*resource);
    if (subresource >= facts.mipLevels) return Check::Subresource;
    if (facts.dimension == ResourceDimension::Buffer)
        return destinationSize >= facts.buffer.ByteWidth ? Check::Passed : Check::ReadBackSize;
    const uint64_t rowBytes = uint64_t(mipExtent(facts.width, subresource)) * FormatByteSize(facts.format);
    const uint64_t pitch = rowPitch ? rowPitch : rowBytes;
    const uint64_t rows =
        uint64_t(mipExtent(facts.height, subresource)) * mipExtent(facts.depth, subresource);
    return pitch >= rowBytes && destinationSize >= pitch * (rows - 1) + rowBytes ? Check::Passed
                                                                                 : Check::ReadBackSize;
}

Check CheckGenerateMips(ShaderResourceView* view) {
    if (!view) return Check::MipsView;
    const Ref<Resource> resource = view->GetResource();
    return resource && resource->GetDimension() != ResourceDimension::Buffer ? Check::Passed
                                                                             : Check::MipsView;
}

Check CheckQuery(const Query* query) {
    return query ? Check::Passed : Check::QueryMissing;
}

Check CheckGetData(const Query* query, const void* data, uint32_t size) {
    if (!query) return Check::QueryMissing;
    const size_t expected = query->GetDesc().Query == QueryType::TIMESTAMP
                                ? sizeof(uint64_t)
                                : sizeof(QueryDataTimestampDisjoint);
    return data && size == expected ? Check::Passed : Check::QueryDataSize;
}

} // namespace gpu
