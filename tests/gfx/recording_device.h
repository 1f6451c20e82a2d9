#pragma once
// A test double of platform/gpu.h that logs every call as one line of text, with each object named by its
// kind and creation order ("buffer1", "srv3", "rtv2"). Tests compare the log with the call sequences the
// runtime must produce. Every call runs the interface's checks first, as a device does: what a device
// refuses the double refuses (null, false, or a context call that changes nothing), with the same code.
#include "platform/gpu.h"
#include "platform/gpu_checks.h"

#include <map>
#include <string>
#include <vector>

namespace recording {

struct Labelled {
    std::string label;
};

class Device;

class Context final : public gpu::DeviceContext {
  public:
    explicit Context(Device& device) : device_(device) {}

    void VSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) override;
    void PSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) override;
    void CSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) override;
    void CSSetUnorderedAccessViews(uint32_t start, uint32_t n, gpu::UnorderedAccessView* const* views,
                                   const uint32_t* initialCounts) override;
    void VSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) override;
    void PSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) override;
    void CSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) override;
    void VSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) override;
    void PSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) override;
    void CSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) override;
    void VSSetShader(gpu::VertexShader* shader) override;
    void PSSetShader(gpu::PixelShader* shader) override;
    void CSSetShader(gpu::ComputeShader* shader) override;
    void IASetPrimitiveTopology(gpu::PrimitiveTopology topology) override;
    void IASetIndexBuffer(gpu::Buffer* buffer, gpu::Format format, uint32_t offset) override;
    void RSSetState(gpu::RasterizerState* state) override;
    void RSSetViewports(uint32_t n, const gpu::Viewport* viewports) override;
    void OMSetBlendState(gpu::BlendState* state, const float factor[4], uint32_t sampleMask) override;
    void OMSetRenderTargets(uint32_t n, gpu::RenderTargetView* const* views,
                            gpu::DepthStencilView* dsv) override;
    void ClearRenderTargetView(gpu::RenderTargetView* view, const float colour[4]) override;
    void ClearDepthStencilView(gpu::DepthStencilView* view, uint32_t flags, float depth,
                               uint8_t stencil) override;
    void UpdateSubresource(gpu::Resource* resource, uint32_t subresource, const gpu::Box* box,
                           const void* data, uint32_t rowPitch, uint32_t depthPitch) override;
    void Draw(uint32_t vertexCount, uint32_t startVertex) override;
    void DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                       uint32_t startInstance) override;
    void DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex,
                              int32_t baseVertex, uint32_t startInstance) override;
    // Ticks as many vertices as the arguments in the buffer's contents ask for.
    void DrawIndexedInstancedIndirect(gpu::Buffer* arguments, uint32_t offset) override;
    void Dispatch(uint32_t x, uint32_t y, uint32_t z) override;
    void GenerateMips(gpu::ShaderResourceView* view) override;
    void Begin(gpu::Query* query) override;
    void End(gpu::Query* query) override;
    // A result is ready once the context was flushed (Flush, ReadBack or a GetData without
    // ASYNC_GETDATA_DONOTFLUSH) after its End.
    gpu::QueryStatus GetData(gpu::Query* query, void* data, uint32_t size, uint32_t flags) override;
    void Flush() override;
    // Buffers only: their contents as created and updated.
    bool ReadBack(gpu::Resource* resource, uint32_t subresource, void* destination, size_t destinationSize,
                  uint32_t rowPitch) override;

  private:
    Device& device_;
    uint64_t flushes_ = 0;
    gpu::DrawBindings bound_;
    gpu::Ref<gpu::Buffer> indexBuffer_;
    uint32_t indexOffset_ = 0;
    bool computeShader_ = false;
};

class Device final : public gpu::Device {
  public:
    // Every call so far, oldest first.
    std::vector<std::string> log;
    // Off: calls are not logged (for benchmarks).
    bool recording = true;
    // On: every object lives as long as the device, so that its label stays unique. Off for benchmarks,
    // which create objects every frame.
    bool keepObjects = true;
    // The GPU clock of the double: it ticks once per vertex drawn and per thread group dispatched, at
    // 1000 ticks a second, so a pass's time in milliseconds is its amount of work. Off: the device
    // has no clock and makes no queries.
    bool clock = true;
    uint64_t ticks = 0;
    static constexpr uint64_t kTicksPerSecond = 1000;
    // On: every disjoint query reports an unsteady clock.
    bool disjoint = false;

    Device();

    gpu::Ref<gpu::Buffer> CreateBuffer(const gpu::BufferDesc& desc,
                                       const gpu::SubresourceData* initial) override;
    gpu::Ref<gpu::Texture1D> CreateTexture1D(const gpu::Texture1DDesc& desc,
                                             const gpu::SubresourceData*) override;
    gpu::Ref<gpu::Texture2D> CreateTexture2D(const gpu::Texture2DDesc& desc,
                                             const gpu::SubresourceData*) override;
    gpu::Ref<gpu::Texture3D> CreateTexture3D(const gpu::Texture3DDesc& desc,
                                             const gpu::SubresourceData*) override;
    gpu::Ref<gpu::ShaderResourceView>
    CreateShaderResourceView(gpu::Resource* resource, const gpu::ShaderResourceViewDesc* desc) override;
    gpu::Ref<gpu::UnorderedAccessView>
    CreateUnorderedAccessView(gpu::Resource* resource, const gpu::UnorderedAccessViewDesc* desc) override;
    gpu::Ref<gpu::RenderTargetView> CreateRenderTargetView(gpu::Resource* resource,
                                                           const gpu::RenderTargetViewDesc* desc) override;
    gpu::Ref<gpu::DepthStencilView> CreateDepthStencilView(gpu::Resource* resource,
                                                           const gpu::DepthStencilViewDesc* desc) override;
    gpu::Ref<gpu::SamplerState> CreateSamplerState(const gpu::SamplerDesc& desc) override;
    gpu::Ref<gpu::RasterizerState> CreateRasterizerState(const gpu::RasterizerDesc& desc) override;
    gpu::Ref<gpu::BlendState> CreateBlendState(const gpu::BlendDesc& desc) override;
    gpu::Ref<gpu::VertexShader> CreateVertexShader(const void* bytecode, size_t size) override;
    gpu::Ref<gpu::PixelShader> CreatePixelShader(const void* bytecode, size_t size) override;
    gpu::Ref<gpu::ComputeShader> CreateComputeShader(const void* bytecode, size_t size) override;
    gpu::Ref<gpu::Query> CreateQuery(const gpu::QueryDesc& desc) override;
    gpu::Ref<gpu::SwapChain> CreateSwapChainForWindow(const window::NativeWindow&,
                                                      const gpu::SwapChainDesc&) override;
    gpu::Ref<gpu::DeviceContext> GetImmediateContext() override { return context_; }
    std::string GetAdapterName() const override { return "recording"; }
    gpu::Renderer GetRenderer() const override { return gpu::Renderer::Vulkan; }
    std::string GetLastError() const override { return {}; }
    gpu::Check GetLastFailedCheck() const override { return checks.last(); }
    gpu::CheckLog checks;

    Context& context() { return *static_cast<Context*>(context_.get()); }
    // Logs the line `makeLine` writes, when recording.
    template <class F> void record(const F& makeLine) {
        if (recording) log.push_back(makeLine());
    }
    // Names a new object of `kind` ("buffer" -> "buffer1", "buffer2", ...) and keeps it if asked to.
    void adopt(gpu::Object* object, Labelled& labelled, const char* kind);

  private:
    gpu::Ref<gpu::DeviceContext> context_;
    std::map<std::string, uint32_t> counters_;
    std::vector<gpu::Ref<gpu::Object>> kept_;
};

// The label of an object of the double; "null" for none.
std::string labelOf(const gpu::Object* object);

// The bytes of a buffer of the double as created and last updated; empty for anything else.
const std::vector<uint8_t>& bufferContents(const gpu::Resource* resource);

// A blob that passes the bytecode check for `stage` (header and one SPIR-V word); the double accepts it.
std::vector<uint32_t> fakeShaderBytecode(gpu::ShaderStage stage);

} // namespace recording
