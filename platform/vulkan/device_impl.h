// gpu::Device on Vulkan: creation of every object, and the one immediate context.
#pragma once

#include "platform/vulkan/resources.h"

namespace gpu::vulkan {

class ContextImpl;

class DeviceImpl final : public Device {
  public:
    explicit DeviceImpl(CorePtr core);
    ~DeviceImpl() override;

    Ref<Buffer> CreateBuffer(const BufferDesc& desc, const SubresourceData* initialData) override;
    Ref<Texture1D> CreateTexture1D(const Texture1DDesc& desc, const SubresourceData* initialData) override;
    Ref<Texture2D> CreateTexture2D(const Texture2DDesc& desc, const SubresourceData* initialData) override;
    Ref<Texture3D> CreateTexture3D(const Texture3DDesc& desc, const SubresourceData* initialData) override;
    Ref<ShaderResourceView> CreateShaderResourceView(Resource* resource,
                                                     const ShaderResourceViewDesc* desc) override;
    Ref<UnorderedAccessView> CreateUnorderedAccessView(Resource* resource,
                                                       const UnorderedAccessViewDesc* desc) override;
    Ref<RenderTargetView> CreateRenderTargetView(Resource* resource,
                                                 const RenderTargetViewDesc* desc) override;
    Ref<DepthStencilView> CreateDepthStencilView(Resource* resource,
                                                 const DepthStencilViewDesc* desc) override;
    Ref<SamplerState> CreateSamplerState(const SamplerDesc& desc) override;
    Ref<RasterizerState> CreateRasterizerState(const RasterizerDesc& desc) override;
    Ref<BlendState> CreateBlendState(const BlendDesc& desc) override;
    Ref<VertexShader> CreateVertexShader(const void* bytecode, size_t size) override;
    Ref<PixelShader> CreatePixelShader(const void* bytecode, size_t size) override;
    Ref<ComputeShader> CreateComputeShader(const void* bytecode, size_t size) override;
    Ref<Query> CreateQuery(const QueryDesc& desc) override;
    Ref<SwapChain> CreateSwapChainForWindow(const window::NativeWindow& window,
                                            const SwapChainDesc& desc) override;
    Ref<DeviceContext> GetImmediateContext() override;
    std::string GetAdapterName() const override { return core_->adapterName; }
    Renderer GetRenderer() const override { return Renderer::Vulkan; }
    std::string GetLastError() const override { return core_->lastError; }
    Check GetLastFailedCheck() const override { return core_->checks.last(); }

  private:
    // Records why a creation failed and returns the null result.
    std::nullptr_t fail(std::string message);
    // `call` names the creating call for the check's log.
    template <class Impl, class Desc>
    Ref<Impl> createTexture(const char* call, const Desc& desc, const SubresourceData* initialData);
    template <class Impl>
    Ref<Impl> createShader(const char* call, const void* bytecode, size_t size, ShaderStage stage);
    // A shader-resource or unordered-access view of what its check resolved.
    template <class Impl> Ref<Impl> createResourceView(Resource* resource, const ResolvedView& resolved);

    CorePtr core_;
    Ref<ContextImpl> context_;
    // Every state made so far, one per normalised description.
    std::vector<Ref<SamplerStateImpl>> samplers_;
    std::vector<Ref<RasterizerStateImpl>> rasterizers_;
    std::vector<Ref<BlendStateImpl>> blends_;
};

} // namespace gpu::vulkan
