// The immediate context on Direct3D 11: each call checked, then handed to the native context. What the
// checks of draws and dispatches need of the bound state is kept here too, and so is every binding of
// inputs and outputs: Direct3D unbinds an input that is bound as an output at the time (a texture drawn
// into, a buffer a kernel wrote), where the interface keeps it bound for the draw or dispatch that uses it.
// So a dispatch unbinds the render targets and binds the kernel's outputs and inputs, and a draw unbinds
// the kernel's outputs and binds the render targets and its stages' inputs.
#pragma once

#include "platform/d3d11/objects.h"

#include <vector>

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
    using SetBuffers = void (STDMETHODCALLTYPE ID3D11DeviceContext::*)(UINT, UINT, ID3D11Buffer* const*);
    using SetSamplers = void (STDMETHODCALLTYPE ID3D11DeviceContext::*)(UINT, UINT,
                                                                        ID3D11SamplerState* const*);
    // The bound inputs of one stage, by slot.
    using StageResources = Ref<ShaderResourceView>[COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT];
    void setResources(const char* call, StageResources& stage, uint32_t start, uint32_t count,
                      ShaderResourceView* const* views);
    // Binds the inputs of the stages a draw (vertex and pixel) or a dispatch (compute, with its outputs)
    // uses once more.
    void rebindForDraw();
    void rebindForDispatch();
    void bindTargets();
    void bindComputeOutputs();
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
    std::vector<D3D11_VIEWPORT> viewports_;
    Ref<Buffer> indexBuffer_;
    StageResources vertexResources_, pixelResources_, computeResources_;
    Ref<UnorderedAccessView> computeOutputs_[UAV_SLOT_COUNT];
    Ref<RenderTargetView> targets_[SIMULTANEOUS_RENDER_TARGET_COUNT];
    uint32_t targetCount_ = 0;
    Ref<DepthStencilView> depthTarget_;
    // Whether the draw's outputs or the kernel's are bound on the native context now.
    bool drawOutputsBound_ = false;
    bool computeOutputsBound_ = false;
    uint32_t indexOffset_ = 0;
};

} // namespace gpu::d3d11
