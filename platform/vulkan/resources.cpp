#include "platform/vulkan/resources.h"

#include "platform/vulkan/context.h"
#include "platform/vulkan/device_impl.h"
#include "platform/vulkan/formats.h"
#include "platform/vulkan/upload.h"

#include <algorithm>
#include <atomic>
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
    if (desc_.BindFlags & BIND_INDEX_BUFFER) info.usage |= VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
    if (desc_.MiscFlags & RESOURCE_MISC_DRAWINDIRECT_ARGS) info.usage |= VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT;
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
    core_->vk.cmdPipelineBarrier2(core_->setupCommands(), &dependency);
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
    VkFormat format = toVkFormat(desc_.Format);
    const bool depth = IsDepthFormat(desc_.Format);
    if (depth && !core.formatSupports(format, VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT))
        format = depthFallback(format);
    const uint32_t mips = MipLevelCount(extent.width, extent.height, extent.depth, desc_.MipLevels);
    desc_.MipLevels = mips;

    VkImageUsageFlags usage = VK_IMAGE_USAGE_TRANSFER_SRC_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT;
    if (desc_.BindFlags & BIND_SHADER_RESOURCE) usage |= VK_IMAGE_USAGE_SAMPLED_BIT;
    // A format without typed unordered access simply gets no UAV, as on Direct3D.
    if ((desc_.BindFlags & BIND_UNORDERED_ACCESS) &&
        core.formatSupports(format, VK_FORMAT_FEATURE_STORAGE_IMAGE_BIT))
        usage |= VK_IMAGE_USAGE_STORAGE_BIT;
    if (desc_.BindFlags & BIND_RENDER_TARGET) {
        if (!core.formatSupports(format, VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT)) {
            core.lastError = "the format cannot be rendered to";
            return false;
        }
        usage |= VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT;
    }
    if (desc_.BindFlags & BIND_DEPTH_STENCIL) {
        if (!core.formatSupports(format, VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT)) {
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
    if (!core_->pass(CheckBufferDesc(desc), "CreateBuffer")) return nullptr;
    auto buffer = Ref<BufferImpl>::adopt(new BufferImpl(core_, desc));
    if (!buffer->create(initialData)) return nullptr;
    return buffer;
}

template <class Impl, class Desc>
Ref<Impl> DeviceImpl::createTexture(const char* call, const Desc& desc, const SubresourceData* initialData) {
    if (!core_->pass(CheckTextureDesc(desc), call)) return nullptr;
    auto texture = Ref<Impl>::adopt(new Impl(core_, desc));
    if (!texture->create(initialData)) return nullptr;
    return texture;
}

Ref<Texture1D> DeviceImpl::CreateTexture1D(const Texture1DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture1DImpl>("CreateTexture1D", desc, initialData);
}
Ref<Texture2D> DeviceImpl::CreateTexture2D(const Texture2DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture2DImpl>("CreateTexture2D", desc, initialData);
}
Ref<Texture3D> DeviceImpl::CreateTexture3D(const Texture3DDesc& desc, const SubresourceData* initialData) {
    return createTexture<Texture3DImpl>("CreateTexture3D", desc, initialData);
}

namespace {

// Fills a buffer view's source with the elements its check resolved.
std::string describeBufferView(BufferImpl& buffer, const ResolvedView& view, DescriptorSource* source) {
    source->offset = view.elements.offset;
    source->range = view.elements.size;
    source->buffer = buffer.buffer;
    source->hazard = &buffer.hazard;
    source->format = view.format;
    if (view.format != Format::UNKNOWN && !source->texelView(view.format))
        return "the buffer view cannot be read as typed elements of its format";
    return {};
}

// Fills a texture view's source with the levels and format its check resolved.
std::string describeTextureView(DeviceCore& core, TextureImage& image, const ResolvedView& view,
                                DescriptorSource* source) {
    source->imageView = createImageView(core, image, toVkFormat(view.format), view.firstMip, view.mipCount);
    if (!source->imageView) return "texture view could not be created";
    source->hazard = &image.hazard;
    source->image = &image;
    source->mostDetailedMip = view.firstMip;
    return {};
}

} // namespace

template <class Impl>
Ref<Impl> DeviceImpl::createResourceView(Resource* resource, const ResolvedView& resolved) {
    auto view = Ref<Impl>::adopt(new Impl(core_, resource));
    if (BufferImpl* buffer = bufferOf(resource)) {
        if (std::string problem = describeBufferView(*buffer, resolved, &view->source); !problem.empty())
            return fail(problem);
        return view;
    }
    TextureBase* texture = textureOf(resource);
    if (!texture->image()) return fail(core_->lastError);
    TextureImage& image = *texture->image();
    if constexpr (std::is_same_v<Impl, UnorderedAccessViewImpl>) {
        if (!(image.usage & VK_IMAGE_USAGE_STORAGE_BIT))
            return fail("the texture's format has no typed unordered access on this adapter");
    }
    if (std::string problem = describeTextureView(*core_, image, resolved, &view->source); !problem.empty())
        return fail(problem);
    return view;
}

Ref<ShaderResourceView> DeviceImpl::CreateShaderResourceView(Resource* resource,
                                                             const ShaderResourceViewDesc* desc) {
    ResolvedView resolved;
    if (!core_->pass(CheckShaderResourceView(resource, desc, &resolved), "CreateShaderResourceView"))
        return nullptr;
    return createResourceView<ShaderResourceViewImpl>(resource, resolved);
}

Ref<UnorderedAccessView> DeviceImpl::CreateUnorderedAccessView(Resource* resource,
                                                               const UnorderedAccessViewDesc* desc) {
    ResolvedView resolved;
    if (!core_->pass(CheckUnorderedAccessView(resource, desc, &resolved), "CreateUnorderedAccessView"))
        return nullptr;
    return createResourceView<UnorderedAccessViewImpl>(resource, resolved);
}

Ref<RenderTargetView> DeviceImpl::CreateRenderTargetView(Resource* resource,
                                                         const RenderTargetViewDesc* desc) {
    ResolvedView resolved;
    if (!core_->pass(CheckRenderTargetView(resource, desc, &resolved), "CreateRenderTargetView"))
        return nullptr;
    TextureBase* texture = textureOf(resource);
    // Buffer 0 of a window without area has no image this frame (the reason is in lastError).
    if (!texture->image()) return fail(core_->lastError);
    return Ref<RenderTargetViewImpl>::adopt(new RenderTargetViewImpl(resource, texture, resolved.firstMip));
}

Ref<DepthStencilView> DeviceImpl::CreateDepthStencilView(Resource* resource,
                                                         const DepthStencilViewDesc* desc) {
    ResolvedView resolved;
    if (!core_->pass(CheckDepthStencilView(resource, desc, &resolved), "CreateDepthStencilView"))
        return nullptr;
    TextureBase* texture = textureOf(resource);
    if (!texture->image()) return fail(core_->lastError);
    return Ref<DepthStencilViewImpl>::adopt(new DepthStencilViewImpl(resource, texture, resolved.firstMip));
}

template <class Impl>
Ref<Impl> DeviceImpl::createShader(const char* call, const void* bytecode, size_t size, ShaderStage stage) {
    ShaderBytecodeView parsed;
    if (!core_->pass(CheckShaderBytecode(bytecode, size, stage, &parsed), call)) return nullptr;
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
    return createShader<VertexShaderImpl>("CreateVertexShader", bytecode, size, ShaderStage::Vertex);
}
Ref<PixelShader> DeviceImpl::CreatePixelShader(const void* bytecode, size_t size) {
    return createShader<PixelShaderImpl>("CreatePixelShader", bytecode, size, ShaderStage::Pixel);
}
Ref<ComputeShader> DeviceImpl::CreateComputeShader(const void* bytecode, size_t size) {
    return createShader<ComputeShaderImpl>("CreateComputeShader", bytecode, size, ShaderStage::Compute);
}

} // namespace gpu::vulkan
