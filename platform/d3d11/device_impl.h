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
    // The program's DXBC after its check; null (with lastError set) when it has none or is refused.
    const uint8_t* dxbcOf(const char* call, const void* bytecode, size_t size, ShaderStage stage,
                          uint32_t* dxbcSize);
    template <class Native>
    bool createTexture(const D3D11_TEXTURE1D_DESC* d1, const D3D11_TEXTURE2D_DESC* d2,
                       const D3D11_TEXTURE3D_DESC* d3, uint32_t levels, const SubresourceData* initialData,
                       ComPtr<Native>* texture);

    CorePtr core_;
    Ref<ContextImpl> context_;
};

} // namespace gpu::d3d11
