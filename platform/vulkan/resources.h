// Buffers, textures, their views and the immutable state objects on Vulkan.
#pragma once

#include "platform/vulkan/device.h"

#include <vector>

namespace gpu::vulkan {

// When a resource was last read and written, counted in barrier epochs of the immediate context:
// a resource touched in the current epoch needs a barrier before a conflicting access.
struct Hazard {
    uint64_t readEpoch = 0;
    uint64_t writeEpoch = 0;
};

class BufferImpl final : public Buffer {
  public:
    BufferImpl(CorePtr core, const BufferDesc& desc) : core_(std::move(core)), desc_(desc) {}
    ~BufferImpl() override;
    bool create(const SubresourceData* initialData);

    ResourceDimension GetDimension() const override { return ResourceDimension::Buffer; }
    BufferDesc GetDesc() const override { return desc_; }

    VkBuffer buffer = VK_NULL_HANDLE;
    Hazard hazard;

  private:
    CorePtr core_;
    BufferDesc desc_;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
};

// A Vulkan image kept in GENERAL layout for its whole life, so no layout is ever tracked.
class TextureImage {
  public:
    TextureImage(CorePtr core) : core_(std::move(core)) {}
    ~TextureImage();
    TextureImage(const TextureImage&) = delete;
    TextureImage& operator=(const TextureImage&) = delete;

    // Creates the image and its memory, and records the move to GENERAL layout.
    bool create(VkImageType type, VkFormat format, VkExtent3D extent, uint32_t mipLevels,
                VkImageUsageFlags usage);
    // Takes a swap chain's image, which the swap chain owns.
    void wrap(VkImage image, VkFormat format, VkExtent3D extent);
    // A single-level view for rendering into mip level `mip`, made on first use.
    VkImageView attachmentView(uint32_t mip);
    VkExtent3D mipExtent(uint32_t mip) const;
    DeviceCore* core() const { return core_.get(); }

    VkImage image = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkImageType type = VK_IMAGE_TYPE_2D;
    VkExtent3D extent{};
    uint32_t mipLevels = 1;
    VkImageUsageFlags usage = 0;
    VkImageAspectFlags aspect = VK_IMAGE_ASPECT_COLOR_BIT;
    Hazard hazard;

  private:
    CorePtr core_;
    VkDeviceMemory memory_ = VK_NULL_HANDLE;
    std::vector<VkImageView> attachmentViews_;
};

// What views and the context need of any texture, whatever its dimension; a swap chain's back
// buffer answers with the image being drawn this frame.
class TextureBase {
  public:
    virtual ~TextureBase() = default;
    virtual TextureImage* image() = 0;
    virtual Format format() const = 0;
    virtual ViewDimension viewDimension() const = 0;
};

TextureBase* textureOf(Resource* resource);
BufferImpl* bufferOf(Resource* resource);

// One class for the three texture kinds; Interface is Texture1D, Texture2D or Texture3D.
template <class Interface, class Desc> class TextureImpl final : public Interface, public TextureBase {
  public:
    TextureImpl(CorePtr core, const Desc& desc) : image_(std::move(core)), desc_(desc) {}
    bool create(const SubresourceData* initialData);

    ResourceDimension GetDimension() const override;
    Desc GetDesc() const override { return desc_; }
    TextureImage* image() override { return &image_; }
    Format format() const override { return desc_.Format; }
    ViewDimension viewDimension() const override;

  private:
    TextureImage image_;
    Desc desc_;
};

using Texture1DImpl = TextureImpl<Texture1D, Texture1DDesc>;
using Texture2DImpl = TextureImpl<Texture2D, Texture2DDesc>;
using Texture3DImpl = TextureImpl<Texture3D, Texture3DDesc>;

// What a shader-resource or unordered-access view hands to a program's descriptors; which
// fields count depends on what the program declares at that binding.
class DescriptorSource {
  public:
    DescriptorSource(CorePtr core, bool storage) : core_(std::move(core)), storage_(storage) {}
    ~DescriptorSource();
    DescriptorSource(const DescriptorSource&) = delete;
    DescriptorSource& operator=(const DescriptorSource&) = delete;

    // The viewed buffer elements as texels of a 32-bit format, made on first use: the program's
    // declaration (Buffer<int>, Buffer<float>) decides the format, whatever the view was made with.
    // Null when the range cannot be viewed that way (the reason is in lastError).
    VkBufferView texelView(Format format);

    VkImageView imageView = VK_NULL_HANDLE; // textures
    VkBuffer buffer = VK_NULL_HANDLE;       // buffer views
    VkDeviceSize offset = 0;
    VkDeviceSize range = 0;
    Format format = Format::UNKNOWN; // a buffer view's own element format, if it has one
    Hazard* hazard = nullptr;
    TextureImage* image = nullptr; // textures, for mip generation
    uint32_t mostDetailedMip = 0;

  private:
    struct TexelView {
        Format format;
        VkBufferView view;
    };
    CorePtr core_;
    bool storage_;
    std::vector<TexelView> texelViews_;
};

template <class Interface> class ResourceViewImpl final : public Interface {
  public:
    ResourceViewImpl(CorePtr core, Resource* resource)
        : source(std::move(core), std::is_same_v<Interface, UnorderedAccessView>),
          resource_(Ref<Resource>::share(resource)) {}
    Ref<Resource> GetResource() const override { return resource_; }

    DescriptorSource source;

  private:
    Ref<Resource> resource_;
};

using ShaderResourceViewImpl = ResourceViewImpl<ShaderResourceView>;
using UnorderedAccessViewImpl = ResourceViewImpl<UnorderedAccessView>;

// Render-target and depth views resolve their image when bound, so that a view of a swap chain
// buffer always means the image of the current frame.
template <class Interface> class AttachmentViewImpl final : public Interface {
  public:
    AttachmentViewImpl(Resource* resource, TextureBase* texture, uint32_t mip)
        : texture(texture), mip(mip), resource_(Ref<Resource>::share(resource)) {}
    Ref<Resource> GetResource() const override { return resource_; }

    TextureBase* texture;
    uint32_t mip;

  private:
    Ref<Resource> resource_;
};

using RenderTargetViewImpl = AttachmentViewImpl<RenderTargetView>;
using DepthStencilViewImpl = AttachmentViewImpl<DepthStencilView>;

// State objects keep the normalised description they were made from, by which the device shares them.
class SamplerStateImpl final : public SamplerState {
  public:
    SamplerStateImpl(CorePtr core, VkSampler sampler, const SamplerDesc& desc)
        : sampler(sampler), desc(desc), core_(std::move(core)) {}
    ~SamplerStateImpl() override { core_->retire(VK_OBJECT_TYPE_SAMPLER, sampler); }
    VkSampler sampler;
    SamplerDesc desc;

  private:
    CorePtr core_;
};

// Rasterizer and blend states are descriptions; the pipeline cache turns them into Vulkan state.
class RasterizerStateImpl final : public RasterizerState {
  public:
    explicit RasterizerStateImpl(const RasterizerDesc& desc) : desc(desc) {}
    RasterizerDesc desc;
};

class BlendStateImpl final : public BlendState {
  public:
    explicit BlendStateImpl(const BlendDesc& desc) : desc(desc) {}
    BlendDesc desc;
};

// A program: its SPIR-V module, its binding table and an identity for the pipeline cache.
class ShaderCode {
  public:
    ShaderCode(CorePtr core, VkShaderModule module, ShaderStage stage, std::vector<ShaderBinding> bindings);
    ~ShaderCode();
    ShaderCode(const ShaderCode&) = delete;
    ShaderCode& operator=(const ShaderCode&) = delete;

    VkShaderModule module;
    ShaderStage stage;
    std::vector<ShaderBinding> bindings;
    uint64_t id;

  private:
    CorePtr core_;
};

template <class Interface> class ShaderImpl final : public Interface {
  public:
    template <class... Args> explicit ShaderImpl(Args&&... args) : code(std::forward<Args>(args)...) {}
    ShaderCode code;
};

using VertexShaderImpl = ShaderImpl<VertexShader>;
using PixelShaderImpl = ShaderImpl<PixelShader>;
using ComputeShaderImpl = ShaderImpl<ComputeShader>;

} // namespace gpu::vulkan
