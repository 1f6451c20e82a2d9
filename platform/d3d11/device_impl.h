// gpu::Device on Direct3D 11: creation of every object, and the one immediate context.
#pragma once

#include "platform/d3d11/objects.h"

namespace gpu::d3d11 {

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
    Renderer GetRenderer() const override { return Renderer::Direct3D11; }
    std::string GetLastError() const override { return core_->lastError; }
    Check GetLastFailedCheck() const override { return core_->checks.last(); }

  private:
    // How Direct3D makes a shader of one stage from its bytecode.
    template <class Native>
    using CreateNative = HRESULT (STDMETHODCALLTYPE ID3D11Device::*)(const void*, SIZE_T, ID3D11ClassLinkage*,
                                                                     Native**);
    // A shader of the program's DXBC, after the shared check; null with the reason when it has none.
    template <class Impl, class Native>
    Ref<Impl> createShader(const char* call, const void* bytecode, size_t size, ShaderStage stage,
                           CreateNative<Native> create);

    CorePtr core_;
    Ref<ContextImpl> context_;
};

} // namespace gpu::d3d11
