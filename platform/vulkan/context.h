// The immediate context on Vulkan: Direct3D 11 binding state, recorded into the batch's
// command buffer with barriers where a resource written earlier is read or written again.
#pragma once

#include "platform/vulkan/pipelines.h"

namespace gpu::vulkan {

class ContextImpl final : public DeviceContext {
  public:
    explicit ContextImpl(CorePtr core);
    ~ContextImpl() override;

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
    ContextStatistics GetStatistics() const override { return {pipelines_.lookups()}; }

    // For presentation: the command buffer with no rendering open, ready for a transfer or barrier.
    VkCommandBuffer outsideRendering();
    DeviceCore& core() { return *core_; }
    const CorePtr& sharedCore() const { return core_; }

  private:
    // Resources of one shader stage, by slot.
    struct StageBindings {
        Ref<ShaderResourceView> resources[COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT];
        Ref<Buffer> constantBuffers[COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT];
        Ref<SamplerState> samplers[COMMONSHADER_SAMPLER_SLOT_COUNT];
    };
    struct Access {
        Hazard* hazard;
        bool write;
    };

    VkCommandBuffer commands();
    void endRendering();
    void fullBarrier();
    // Places a barrier when any access conflicts with one made since the last barrier, then
    // records the accesses.
    void prepareAccesses(const std::vector<Access>& accesses);
    bool conflicts(const std::vector<Access>& accesses) const;
    // Fills the descriptors a program layout asks for from the bound state (a slot with nothing
    // usable bound gets a null descriptor) and lists the accesses they make. Bindings used by
    // the pixel stage come from `pixel`, all others from `other`.
    void collectDescriptors(const ProgramLayout& layout, const StageBindings& other,
                            const StageBindings* pixel);
    void pushDescriptors(VkCommandBuffer commands, VkPipelineBindPoint bindPoint,
                         const ProgramLayout& layout);
    // Resolves the bound targets to images and lists their writes; false when nothing is bound.
    bool resolveTargets();
    void beginRendering();
    // What every draw needs bound, for its check.
    DrawBindings drawBindings() const;
    // Records everything a draw needs before the draw command itself: pipeline, descriptors, barriers,
    // rendering and dynamic state, with `extra` (index and argument buffers) among the accesses.
    // VK_NULL_HANDLE when the draw cannot be made.
    VkCommandBuffer prepareDraw(std::initializer_list<Access> extra);
    // Draw and DrawInstanced; `call` names which, for the check's log.
    void draw(const char* call, uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
              uint32_t startInstance);

    CorePtr core_;
    Pipelines pipelines_;
    StageBindings vs_, ps_, cs_;
    Ref<UnorderedAccessView> uavs_[UAV_SLOT_COUNT];
    Ref<VertexShader> vertexShader_;
    Ref<PixelShader> pixelShader_;
    Ref<ComputeShader> computeShader_;
    PrimitiveTopology topology_ = PrimitiveTopology::UNDEFINED;
    Ref<Buffer> indexBuffer_;
    uint32_t indexOffset_ = 0;
    Ref<RasterizerState> rasterizer_;
    Ref<BlendState> blend_;
    float blendFactor_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Viewport viewport_;
    Ref<RenderTargetView> targets_[SIMULTANEOUS_RENDER_TARGET_COUNT];
    uint32_t targetCount_ = 0;
    Ref<DepthStencilView> depthTarget_;

    // The pipelines of the bound state, looked up again only after a change that can alter them
    // (the dirty flags). Failed look-ups leave the flag set, so the next call tries again.
    GraphicsKey graphicsKey_;
    bool graphicsDirty_ = true;
    const ProgramLayout* graphicsLayout_ = nullptr;
    VkPipeline graphicsPipeline_ = VK_NULL_HANDLE;
    bool computeDirty_ = true;
    const ProgramLayout* computeLayout_ = nullptr;
    VkPipeline computePipeline_ = VK_NULL_HANDLE;

    // Recording state of the current batch.
    uint64_t batchSerial_ = 0;
    uint64_t epoch_ = 1;
    bool rendering_ = false;
    VkExtent2D renderExtent_{};
    VkPipeline boundGraphics_ = VK_NULL_HANDLE;
    VkPipeline boundCompute_ = VK_NULL_HANDLE;
    bool dynamicStateDirty_ = true;
    std::vector<Access> accesses_;

    // Scratch for the descriptors of one call; the most a program can declare is every slot.
    static constexpr uint32_t kMaxDescriptors = 64;
    VkWriteDescriptorSet writes_[kMaxDescriptors];
    VkDescriptorImageInfo imageInfos_[kMaxDescriptors];
    VkDescriptorBufferInfo bufferInfos_[kMaxDescriptors];
    VkBufferView texelViews_[kMaxDescriptors];
    uint32_t writeCount_ = 0;
    // Attachments resolved for the rendering about to begin.
    VkImageView colorViews_[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    VkFormat colorFormats_[SIMULTANEOUS_RENDER_TARGET_COUNT] = {};
    VkImageView depthView_ = VK_NULL_HANDLE;
    VkFormat depthFormat_ = VK_FORMAT_UNDEFINED;
};

} // namespace gpu::vulkan
