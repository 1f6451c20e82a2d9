// The immediate context on Direct3D 11: each call checked, then handed to the native context. What the
// checks of draws and dispatches need of the bound state is kept here too.
#pragma once

#include "platform/d3d11/objects.h"

namespace gpu::d3d11 {

class ContextImpl final : public DeviceContext {
  public:
    explicit ContextImpl(CorePtr core) : core_(std::move(core)) {}

    void VSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) override;
    void PSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) override;
    void CSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) override;
    void CSSetUnorderedAccessViews(uint32_t start, uint32_t count, UnorderedAccessView* const* views,
                                   const uint32_t* initialCounts) override;
    void VSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) override;
    void PSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) override;
    void CSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) override;
    void VSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) override;
    void PSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) override;
    void CSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) override;
    void VSSetShader(VertexShader* shader) override;
    void PSSetShader(PixelShader* shader) override;
    void CSSetShader(ComputeShader* shader) override;
    void IASetPrimitiveTopology(PrimitiveTopology topology) override;
    void IASetIndexBuffer(Buffer* buffer, Format format, uint32_t offset) override;
    void RSSetState(RasterizerState* state) override;
    void RSSetViewports(uint32_t count, const Viewport* viewports) override;
    void OMSetBlendState(BlendState* state, const float blendFactor[4], uint32_t sampleMask) override;
    void OMSetRenderTargets(uint32_t count, RenderTargetView* const* views, DepthStencilView* depth) override;
    void ClearRenderTargetView(RenderTargetView* view, const float color[4]) override;
    void ClearDepthStencilView(DepthStencilView* view, uint32_t flags, float depth, uint8_t stencil) override;
    void UpdateSubresource(Resource* resource, uint32_t subresource, const Box* box, const void* data,
                           uint32_t rowPitch, uint32_t depthPitch) override;
    void Draw(uint32_t vertexCount, uint32_t startVertex) override;
    void DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                       uint32_t startInstance) override;
    void DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex,
                              int32_t baseVertex, uint32_t startInstance) override;
    void DrawIndexedInstancedIndirect(Buffer* arguments, uint32_t offset) override;
    void Dispatch(uint32_t x, uint32_t y, uint32_t z) override;
    void GenerateMips(ShaderResourceView* view) override;
    void Begin(Query* query) override;
    void End(Query* query) override;
    QueryStatus GetData(Query* query, void* data, uint32_t size, uint32_t flags) override;
    void Flush() override;
    bool ReadBack(Resource* resource, uint32_t subresource, void* destination, size_t destinationSize,
                  uint32_t rowPitch) override;

    DeviceCore& core() { return *core_; }

  private:
    using SetViews = void (STDMETHODCALLTYPE ID3D11DeviceContext::*)(UINT, UINT,
                                                                     ID3D11ShaderResourceView* const*);
    using SetBuffers = void (STDMETHODCALLTYPE ID3D11DeviceContext::*)(UINT, UINT, ID3D11Buffer* const*);
    using SetSamplers = void (STDMETHODCALLTYPE ID3D11DeviceContext::*)(UINT, UINT,
                                                                        ID3D11SamplerState* const*);
    void setResources(const char* call, SetViews set, uint32_t start, uint32_t count,
                      ShaderResourceView* const* views);
    void setConstantBuffers(const char* call, SetBuffers set, uint32_t start, uint32_t count,
                            Buffer* const* buffers);
    void setSamplers(const char* call, SetSamplers set, uint32_t start, uint32_t count,
                     SamplerState* const* samplers);
    DrawBindings drawBindings() const;
    // Copies one subresource into a CPU-readable twin and maps it; false when the device is lost.
    bool mapCopy(Resource* resource, uint32_t subresource, ComPtr<ID3D11Resource>* staging,
                 D3D11_MAPPED_SUBRESOURCE* mapped);

    CorePtr core_;
    // What the draw and dispatch checks look at.
    bool vertexShader_ = false;
    bool computeShader_ = false;
    bool target_ = false;
    PrimitiveTopology topology_ = PrimitiveTopology::UNDEFINED;
    Viewport viewport_;
    Ref<Buffer> indexBuffer_;
    uint32_t indexOffset_ = 0;
};

} // namespace gpu::d3d11
