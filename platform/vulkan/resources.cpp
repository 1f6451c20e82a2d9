#include "platform/vulkan/resources.h"

#include "platform/vulkan/context.h"
#include "platform/vulkan/device_impl.h"
#include "platform/vulkan/formats.h"
#include "platform/vulkan/upload.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

namespace gpu::vulkan {

namespace {

VkExtent3D extentOf(const Texture1DDesc& d) {
    return {d.Width, 1, 1};
}
VkExtent3D extentOf(const Texture2DDesc& d) {
    return {d.Width, d.Height, 1};
}
VkExtent3D extentOf(const Texture3DDesc& d) {
    return {d.Width, d.Height, d.Depth};
}
VkImageType imageTypeOf(const Texture1DDesc&) {
    return VK_IMAGE_TYPE_1D;
}
VkImageType imageTypeOf(const Texture2DDesc&) {
    return VK_IMAGE_TYPE_2D;
}
VkImageType imageTypeOf(const Texture3DDesc&) {
    return VK_IMAGE_TYPE_3D;
}

uint32_t fullMipCount(VkExtent3D e) {
    return uint32_t(std::bit_width(std::max({e.width, e.height, e.depth})));
}

VkImageViewType viewTypeOf(VkImageType type) {
    switch (type) {
    case VK_IMAGE_TYPE_1D:
        return VK_IMAGE_VIEW_TYPE_1D;
    case VK_IMAGE_TYPE_3D:
        return VK_IMAGE_VIEW_TYPE_3D;
    default:
        return VK_IMAGE_VIEW_TYPE_2D;
    }
}

VkImageView createImageView(DeviceCore& core, const TextureImage& image, VkFormat format, uint32_t baseMip,
                            uint32_t mipCount) {
    VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    info.image = image.image;
    info.viewType = viewTypeOf(image.type);
    info.format = format;
    info.subresourceRange = {image.aspect, baseMip, mipCount, 0, 1};
    VkImageView view = VK_NULL_HANDLE;
    if (vkCreateImageView(core.device, &info, nullptr, &view) != VK_SUCCESS) return VK_NULL_HANDLE;
    return view;
}

VkBorderColor nearestBorderColor(const float c[4]) {
    if (c[3] < 0.5f) return VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    return c[0] + c[1] + c[2] >= 1.5f ? VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE
                                      : VK_BORDER_COLOR_FLOAT_OPAQUE_BLACK;
}

std::atomic<uint64_t> nextShaderId{1};

} // namespace

TextureBase* textureOf(Resource* resource) {
    return resource && resource->GetDimension() != ResourceDimension::Buffer
               ? dynamic_cast<TextureBase*>(resource)
               : nullptr;
}

BufferImpl* bufferOf(Resource* resource) {
    return resource && resource->GetDimension() == ResourceDimension::Buffer
               ? static_cast<BufferImpl*>(resource)
               : nullptr;
}

// --- buffers ----------------------------------------------------------------------------------

BufferImpl::~BufferImpl() {
    core_->retire(VK_OBJECT_TYPE_BUFFER, buffer);
    core_->retire(VK_OBJECT_TYPE_DEVICE_MEMORY, memory_);
}

bool BufferImpl::create(const SubresourceData* initialData) {
    VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = desc_.ByteWidth;
    info.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT;
    if (desc_.BindFlags & BIND_CONSTANT_BUFFER) info.usage |= VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT;
    if (desc_.BindFlags & BIND_SHADER_RESOURCE)
        info.usage |= VK_BUFFER_USAGE_STORAGE_BUFFER_BIT | VK_BUFFER_USAGE_UNIFORM_TEXEL_BUFFER_BIT;
    if (desc_.BindFlags & BIND_UNORDERED_ACCESS)
        info.usage |= VK_BUFFER_USAGE_STORAGE_BUFFER_BIT | VK_BUFFER_USAGE_STORAGE_TEXEL_BUFFER_BIT;
    if (vkCreateBuffer(core_->device, &info, nullptr, &buffer) != VK_SUCCESS) {
        buffer = VK_NULL_HANDLE;
        core_->lastError = "buffer of " + std::to_string(desc_.ByteWidth) + " bytes could not be created";
        return false;
    }
    VkMemoryRequirements requirements;
    vkGetBufferMemoryRequirements(core_->device, buffer, &requirements);
    if (!core_->allocate(requirements, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, &memory_)) return false;
    vkBindBufferMemory(core_->device, buffer, memory_, 0);
    if (initialData && initialData->pSysMem) {
        const uint32_t given =
            initialData->SysMemPitch ? std::min(initialData->SysMemPitch, desc_.ByteWidth) : desc_.ByteWidth;
        std::vector<uint8_t> contents(desc_.ByteWidth, 0);
        std::memcpy(contents.data(), initialData->pSysMem, given);
        if (!copyToBuffer(*core_, core_->setupCommands(), buffer, 0, contents.data(), desc_.ByteWidth))
            return false;
    }
    return true;
}

// --- textures ---------------------------------------------------------------------------------

TextureImage::~TextureImage() {
    for (VkImageView view : attachmentViews_) core_->retire(VK_OBJECT_TYPE_IMAGE_VIEW, view);
    if (memory_) {
        core_->retire(VK_OBJECT_TYPE_IMAGE, image);
        core_->retire(VK_OBJECT_TYPE_DEVICE_MEMORY, memory_);
    }
}

bool TextureImage::create(VkImageType type_, VkFormat format_, VkExtent3D extent_, uint32_t mipLevels_,
                          VkImageUsageFlags usage_) {
    type = type_;
    format = format_;
    extent = extent_;
    mipLevels = mipLevels_;
    usage = usage_;
    aspect = aspectOf(format);
    VkImageCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
    info.imageType = type;
    info.format = format;
    info.extent = extent;
    info.mipLevels = mipLevels;
    info.arrayLayers = 1;
    info.samples = VK_SAMPLE_COUNT_1_BIT;
    info.tiling = VK_IMAGE_TILING_OPTIMAL;
    info.usage = usage;
    info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    if (vkCreateImage(core_->device, &info, nullptr, &image) != VK_SUCCESS) {
        image = VK_NULL_HANDLE;
        core_->lastError = "texture image could not be created";
        return false;
    }
    VkMemoryRequirements requirements;
    vkGetImageMemoryRequirements(core_->device, image, &requirements);
    if (!core_->allocate(requirements, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, &memory_)) {
        vkDestroyImage(core_->device, image, nullptr);
        image = VK_NULL_HANDLE;
        return false;
    }
    vkBindImageMemory(core_->device, image, memory_, 0);
    attachmentViews_.assign(mipLevels, VK_NULL_HANDLE);

    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_NONE;
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_MEMORY_WRITE_BIT;
    barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    barrier.newLayout = VK_IMAGE_LAYOUT_GENERAL;
    barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = {aspect, 0, VK_REMAINING_MIP_LEVELS, 0, 1};
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(core_->setupCommands(), &dependency);
    return true;
}

void TextureImage::wrap(VkImage image_, VkFormat format_, VkExtent3D extent_) {
    image = image_;
    format = format_;
    extent = extent_;
    usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT |
            VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
    attachmentViews_.assign(1, VK_NULL_HANDLE);
}

VkImageView TextureImage::attachmentView(uint32_t mip) {
    if (mip >= attachmentViews_.size()) return VK_NULL_HANDLE;
    if (!attachmentViews_[mip]) attachmentViews_[mip] = createImageView(*core_, *this, format, mip, 1);
    return attachmentViews_[mip];
}

VkExtent3D TextureImage::mipExtent(uint32_t mip) const {
    return {std::max(1u, extent.width >> mip), std::max(1u, extent.height >> mip),
            std::max(1u, extent.depth >> mip)};
}

template <class Interface, class Desc> ResourceDimension TextureImpl<Interface, Desc>::GetDimension() const {
    if constexpr (std::is_same_v<Interface, Texture1D>)
        return ResourceDimension::Texture1D;
    else if constexpr (std::is_same_v<Interface, Texture2D>)
        return ResourceDimension::Texture2D;
    else
        return ResourceDimension::Texture3D;
}

template <class Interface, class Desc> ViewDimension TextureImpl<Interface, Desc>::viewDimension() const {
    if constexpr (std::is_same_v<Interface, Texture1D>)
        return ViewDimension::Texture1D;
    else if constexpr (std::is_same_v<Interface, Texture2D>)
        return ViewDimension::Texture2D;
    else
        return ViewDimension::Texture3D;
}

template <class Interface, class Desc>
bool TextureImpl<Interface, Desc>::create(const SubresourceData* initialData) {
    DeviceCore& core = *image_.core();
    const VkExtent3D extent = extentOf(desc_);
    if (extent.width == 0 || extent.height == 0 || extent.depth == 0) {
        core.lastError = "a texture needs a size of at least 1 in every dimension";
        return false;
    }
    VkFormat format = toVkFormat(desc_.Format);
    if (format == VK_FORMAT_UNDEFINED) {
        core.lastError = "a texture needs a format";
        return false;
    }
    const bool depth = IsDepthFormat(desc_.Format);
    if (depth && !core.formatSupports(format, VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT))
        format = depthFallback(format);
    const uint32_t fullChain = fullMipCount(extent);
    const uint32_t mips = desc_.MipLevels == 0 ? fullChain : std::min(desc_.MipLevels, fullChain);
    desc_.MipLevels = mips;

    VkImageUsageFlags usage = VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    if (desc_.BindFlags & BIND_SHADER_RESOURCE) usage |= VK_IMAGE_USAGE_SAMPLED_BIT;
    // A format without typed unordered access simply gets no UAV, as on Direct3D.
    if ((desc_.BindFlags & BIND_UNORDERED_ACCESS) &&
        core.formatSupports(format, VK_FORMAT_FEATURE_STORAGE_IMAGE_BIT))
        usage |= VK_IMAGE_USAGE_STORAGE_BIT;
    if (desc_.BindFlags & BIND_RENDER_TARGET) {
        if (depth || !core.formatSupports(format, VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT)) {
            core.lastError = "the format cannot be rendered to";
            return false;
        }
        usage |= VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    }
    if (desc_.BindFlags & BIND_DEPTH_STENCIL) {
        if (!depth || !core.formatSupports(format, VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT)) {
            core.lastError = "the format cannot be a depth target";
            return false;
        }
        usage |= VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT;
    }
    if (!image_.create(imageTypeOf(desc_), format, extent, mips, usage)) return false;
    if (initialData) {
        for (uint32_t mip = 0; mip < mips; ++mip) {
            if (!initialData[mip].pSysMem) continue;
            const VkExtent3D e = image_.mipExtent(mip);
            if (!copyToImage(*image_.core(), core.setupCommands(), image_, mip,
                             {0, 0, 0, e.width, e.height, e.depth}, initialData[mip].pSysMem,
                             initialData[mip].SysMemPitch, initialData[mip].SysMemSlicePitch))
                return false;
        }
    }
    return true;
}

template class TextureImpl<Texture1D, Texture1DDesc>;
template class TextureImpl<Texture2D, Texture2DDesc>;
template class TextureImpl<Texture3D, Texture3DDesc>;

DescriptorSource::~DescriptorSource() {
    core_->retire(VK_OBJECT_TYPE_IMAGE_VIEW, imageView);
    for (const TexelView& view : texelViews_) core_->retire(VK_OBJECT_TYPE_BUFFER_VIEW, view.view);
}

VkBufferView DescriptorSource::texelView(Format wanted) {
    for (const TexelView& made : texelViews_) {
        if (made.format == wanted) return made.view;
    }
    const VkFormat vkFormat = toVkFormat(wanted);
    const VkFormatFeatureFlags feature =
        storage_ ? VK_FORMAT_FEATURE_STORAGE_TEXEL_BUFFER_BIT : VK_FORMAT_FEATURE_UNIFORM_TEXEL_BUFFER_BIT;
    const VkDeviceSize size = FormatByteSize(wanted);
    const auto& limits = core_->properties.limits;
    if (!buffer || !core_->formatSupports(vkFormat, feature, true) || range % size != 0 ||
        offset % limits.minTexelBufferOffsetAlignment != 0 || range / size > limits.maxTexelBufferElements) {
        core_->lastError = "the buffer view cannot be read as typed elements of that format";
        return VK_NULL_HANDLE;
    }
    VkBufferViewCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_VIEW_CREATE_INFO};
    info.buffer = buffer;
    info.format = vkFormat;
    info.offset = offset;
    info.range = range;
    VkBufferView view = VK_NULL_HANDLE;
    if (vkCreateBufferView(core_->device, &info, nullptr, &view) != VK_SUCCESS) {
        core_->lastError = "typed buffer view could not be created";
        return VK_NULL_HANDLE;
    }
    texelViews_.push_back({wanted, view});
    return view;
}

// --- shaders ----------------------------------------------------------------------------------

ShaderCode::ShaderCode(CorePtr core, VkShaderModule module, ShaderStage stage,
                       std::vector<ShaderBinding> bindings)
    : module(module), stage(stage), bindings(std::move(bindings)), id(nextShaderId++),
      core_(std::move(core)) {}

ShaderCode::~ShaderCode() {
    core_->retire(VK_OBJECT_TYPE_SHADER_MODULE, module);
}

// --- device: creation ---------------------------------------------------------------------------

DeviceImpl::DeviceImpl(CorePtr core)
    : core_(std::move(core)), context_(Ref<ContextImpl>::adopt(new ContextImpl(core_))) {}

DeviceImpl::~DeviceImpl() = default;

std::nullptr_t DeviceImpl::fail(std::string message) {
    core_->lastError = std::move(message);
    return nullptr;
}

Ref<DeviceContext> DeviceImpl::GetImmediateContext() {
    return Ref<DeviceContext>::share(context_.get());
}

Ref<Buffer> DeviceImpl::CreateBuffer(const BufferDesc& desc, const SubresourceData* initialData) {
    if (desc.ByteWidth == 0) return fail("a buffer needs at least one byte");
    if ((desc.MiscFlags & RESOURCE_MISC_BUFFER_STRUCTURED) &&
        (desc.StructureByteStride == 0 || desc.ByteWidth % desc.StructureByteStride != 0))
        return fail("a structured buffer's size must be a multiple of its nonzero stride");
    auto buffer = Ref<BufferImpl>::adopt(new BufferImpl(core_, desc));
    if (!buffer->create(initialData)) return nullptr;
    return buffer;
}

template <class Impl, class Desc>
Ref<Impl> DeviceImpl::createTexture(const Desc& desc, const SubresourceData* initialData) {
    auto texture = Ref<Impl>::adopt(new Impl(core_, desc));
    if (!texture->create(initialData)) return nullptr;
    return texture;
}

Ref<Texture1D> DeviceImpl::CreateTexture1D(const Texture1DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture1DImpl>(desc, initialData);
}
Ref<Texture2D> DeviceImpl::CreateTexture2D(const Texture2DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture2DImpl>(desc, initialData);
}
Ref<Texture3D> DeviceImpl::CreateTexture3D(const Texture3DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture3DImpl>(desc, initialData);
}

namespace {

// The element range of a buffer view, checked against the buffer; false when it does not fit.
bool bufferRange(const BufferDesc& buffer, Format format, uint32_t first, uint32_t count, bool described,
                 VkDeviceSize* offset, VkDeviceSize* range) {
    const uint32_t elementSize =
        format != Format::UNKNOWN ? FormatByteSize(format) : buffer.StructureByteStride;
    if (elementSize == 0) return false;
    if (!described) {
        first = 0;
        count = buffer.ByteWidth / elementSize;
    }
    const uint64_t end = (uint64_t(first) + count) * elementSize;
    if (count == 0 || end > buffer.ByteWidth) return false;
    *offset = VkDeviceSize(first) * elementSize;
    *range = VkDeviceSize(count) * elementSize;
    return true;
}

// Fills a buffer view's source with its element range, checked against the buffer.
template <class ViewDesc>
std::string describeBufferView(BufferImpl& buffer, const ViewDesc* desc, DescriptorSource* source) {
    const Format format = desc ? desc->Format : Format::UNKNOWN;
    if (!bufferRange(buffer.GetDesc(), format, desc ? desc->FirstElement : 0, desc ? desc->NumElements : 0,
                     desc != nullptr, &source->offset, &source->range))
        return "the view's elements do not fit the buffer (or the buffer has no element size)";
    source->buffer = buffer.buffer;
    source->hazard = &buffer.hazard;
    source->format = format;
    if (format != Format::UNKNOWN && !source->texelView(format))
        return "the buffer view cannot be read as typed elements of its format";
    return {};
}

// Fills a texture view's source: the levels from `first` on, `count` of them.
std::string describeTextureView(DeviceCore& core, TextureImage& image, Format format, uint32_t first,
                                uint32_t count, DescriptorSource* source) {
    source->imageView = createImageView(core, image, toVkFormat(format), first, count);
    if (!source->imageView) return "texture view could not be created";
    source->hazard = &image.hazard;
    source->image = &image;
    source->mostDetailedMip = first;
    return {};
}

} // namespace

Ref<ShaderResourceView> DeviceImpl::CreateShaderResourceView(Resource* resource,
                                                             const ShaderResourceViewDesc* desc) {
    auto view = Ref<ShaderResourceViewImpl>::adopt(new ShaderResourceViewImpl(core_, resource));
    if (BufferImpl* buffer = bufferOf(resource)) {
        if (!(buffer->GetDesc().BindFlags & BIND_SHADER_RESOURCE))
            return fail("the buffer is not a shader resource");
        if (std::string problem = describeBufferView(*buffer, desc, &view->source); !problem.empty())
            return fail(problem);
        return view;
    }
    TextureBase* texture = textureOf(resource);
    if (!texture) return fail("no resource to view");
    if (!texture->image()) return fail(core_->lastError);
    TextureImage& image = *texture->image();
    if (!(image.usage & VK_IMAGE_USAGE_SAMPLED_BIT)) return fail("the texture is not a shader resource");
    const uint32_t first = desc ? desc->MostDetailedMip : 0;
    if (first >= image.mipLevels) return fail("the view's first mip level is not in the texture");
    const uint32_t count = desc && desc->MipLevels != ~0u ? desc->MipLevels : image.mipLevels - first;
    if (count == 0 || first + count > image.mipLevels)
        return fail("the view's mip levels are not in the texture");
    const Format format = desc && desc->Format != Format::UNKNOWN ? desc->Format : texture->format();
    if (std::string problem = describeTextureView(*core_, image, format, first, count, &view->source);
        !problem.empty())
        return fail(problem);
    return view;
}

Ref<UnorderedAccessView> DeviceImpl::CreateUnorderedAccessView(Resource* resource,
                                                               const UnorderedAccessViewDesc* desc) {
    auto view = Ref<UnorderedAccessViewImpl>::adopt(new UnorderedAccessViewImpl(core_, resource));
    if (BufferImpl* buffer = bufferOf(resource)) {
        if (!(buffer->GetDesc().BindFlags & BIND_UNORDERED_ACCESS))
            return fail("the buffer has no unordered access");
        if (std::string problem = describeBufferView(*buffer, desc, &view->source); !problem.empty())
            return fail(problem);
        return view;
    }
    TextureBase* texture = textureOf(resource);
    if (!texture) return fail("no resource to view");
    if (!texture->image()) return fail(core_->lastError);
    TextureImage& image = *texture->image();
    if (!(image.usage & VK_IMAGE_USAGE_STORAGE_BIT))
        return fail("the texture has no unordered access (or its format has no typed unordered access)");
    const uint32_t mip = desc ? desc->MipSlice : 0;
    if (mip >= image.mipLevels) return fail("the view's mip level is not in the texture");
    // A 3D view always spans every slice: Vulkan storage views of 3D images cannot pick slices.
    if (desc && image.type == VK_IMAGE_TYPE_3D &&
        (desc->FirstWSlice != 0 || (desc->WSize != ~0u && desc->WSize != image.mipExtent(mip).depth)))
        return fail("a 3D texture's unordered-access view must cover all its slices");
    const Format format = desc && desc->Format != Format::UNKNOWN ? desc->Format : texture->format();
    if (std::string problem = describeTextureView(*core_, image, format, mip, 1, &view->source);
        !problem.empty())
        return fail(problem);
    return view;
}

Ref<RenderTargetView> DeviceImpl::CreateRenderTargetView(Resource* resource,
                                                         const RenderTargetViewDesc* desc) {
    TextureBase* texture = textureOf(resource);
    if (!texture || texture->viewDimension() != ViewDimension::Texture2D)
        return fail("render targets are 2D textures");
    if (!texture->image()) return fail(core_->lastError);
    TextureImage& image = *texture->image();
    const uint32_t mip = desc ? desc->MipSlice : 0;
    if (!(image.usage & VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT))
        return fail("the texture is not a render target");
    if (mip >= image.mipLevels) return fail("the view's mip level is not in the texture");
    if (desc && desc->Format != Format::UNKNOWN && desc->Format != texture->format())
        return fail("a render-target view keeps its texture's format");
    return Ref<RenderTargetViewImpl>::adopt(new RenderTargetViewImpl(resource, texture, mip));
}

Ref<DepthStencilView> DeviceImpl::CreateDepthStencilView(Resource* resource,
                                                         const DepthStencilViewDesc* desc) {
    TextureBase* texture = textureOf(resource);
    if (!texture || texture->viewDimension() != ViewDimension::Texture2D)
        return fail("depth targets are 2D textures");
    if (!texture->image()) return fail(core_->lastError);
    TextureImage& image = *texture->image();
    const uint32_t mip = desc ? desc->MipSlice : 0;
    if (!(image.usage & VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT))
        return fail("the texture is not a depth target");
    if (mip >= image.mipLevels) return fail("the view's mip level is not in the texture");
    return Ref<DepthStencilViewImpl>::adopt(new DepthStencilViewImpl(resource, texture, mip));
}

Ref<SamplerState> DeviceImpl::CreateSamplerState(const SamplerDesc& desc) {
    const bool linear = desc.Filter == Filter::MIN_MAG_MIP_LINEAR;
    VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    info.magFilter = info.minFilter = linear ? VK_FILTER_LINEAR : VK_FILTER_NEAREST;
    info.mipmapMode = linear ? VK_SAMPLER_MIPMAP_MODE_LINEAR : VK_SAMPLER_MIPMAP_MODE_NEAREST;
    info.addressModeU = toVkAddressMode(desc.AddressU);
    info.addressModeV = toVkAddressMode(desc.AddressV);
    info.addressModeW = toVkAddressMode(desc.AddressW);
    const float maxBias = core_->properties.limits.maxSamplerLodBias;
    info.mipLodBias = std::clamp(desc.MipLODBias, -maxBias, maxBias);
    // A comparison function only matters for comparison filters, which this interface lacks.
    info.compareEnable = VK_FALSE;
    info.compareOp = toVkCompareOp(desc.ComparisonFunc);
    // Levels below 0 do not exist, so Direct3D's lowest-float minimum means level 0; a huge
    // maximum means no clamp at all.
    info.minLod = std::max(0.0f, desc.MinLOD);
    info.maxLod = desc.MaxLOD >= VK_LOD_CLAMP_NONE ? VK_LOD_CLAMP_NONE : std::max(info.minLod, desc.MaxLOD);
    info.borderColor = nearestBorderColor(desc.BorderColor);
    VkSampler sampler = VK_NULL_HANDLE;
    if (vkCreateSampler(core_->device, &info, nullptr, &sampler) != VK_SUCCESS)
        return fail("sampler could not be created");
    return Ref<SamplerStateImpl>::adopt(new SamplerStateImpl(core_, sampler));
}

Ref<RasterizerState> DeviceImpl::CreateRasterizerState(const RasterizerDesc& desc) {
    return Ref<RasterizerStateImpl>::adopt(new RasterizerStateImpl(desc));
}

Ref<BlendState> DeviceImpl::CreateBlendState(const BlendDesc& desc) {
    return Ref<BlendStateImpl>::adopt(new BlendStateImpl(desc));
}

template <class Impl>
Ref<Impl> DeviceImpl::createShader(const void* bytecode, size_t size, ShaderStage stage) {
    ShaderBytecodeView parsed;
    if (!ParseShaderBytecode(bytecode, size, &parsed))
        return fail("the shader bytecode is damaged or not SPIR-V");
    if (parsed.stage != stage) return fail("the shader bytecode is for another stage");
    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = size_t(parsed.spirvWordCount) * 4;
    info.pCode = parsed.spirv;
    VkShaderModule module = VK_NULL_HANDLE;
    if (vkCreateShaderModule(core_->device, &info, nullptr, &module) != VK_SUCCESS)
        return fail("shader module could not be created");
    return Ref<Impl>::adopt(
        new Impl(core_, module, stage,
                 std::vector<ShaderBinding>(parsed.bindings, parsed.bindings + parsed.bindingCount)));
}

Ref<VertexShader> DeviceImpl::CreateVertexShader(const void* bytecode, size_t size) {
    return createShader<VertexShaderImpl>(bytecode, size, ShaderStage::Vertex);
}
Ref<PixelShader> DeviceImpl::CreatePixelShader(const void* bytecode, size_t size) {
    return createShader<PixelShaderImpl>(bytecode, size, ShaderStage::Pixel);
}
Ref<ComputeShader> DeviceImpl::CreateComputeShader(const void* bytecode, size_t size) {
    return createShader<ComputeShaderImpl>(bytecode, size, ShaderStage::Compute);
}

} // namespace gpu::vulkan
