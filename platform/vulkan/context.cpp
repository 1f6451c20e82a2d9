#include "platform/vulkan/context.h"

#include "platform/vulkan/formats.h"
#include "platform/vulkan/upload.h"

#include <algorithm>
#include <cstring>

namespace gpu::vulkan {

namespace {

// Binds `count` objects from slot `start` on; null objects (or none given) unbind. `call` names the binding
// call for the check's log.
template <class Slot, class Object, size_t capacity>
void setSlots(DeviceCore& core, const char* call, Ref<Slot> (&slots)[capacity], uint32_t start,
              uint32_t count, Object* const* objects) {
    if (!core.pass(CheckSlots(start, count, capacity), call)) return;
    for (uint32_t i = 0; i < count; ++i) slots[start + i] = Ref<Slot>::share(objects ? objects[i] : nullptr);
}

DescriptorSource* sourceOf(const Ref<ShaderResourceView>& view) {
    return view ? &static_cast<ShaderResourceViewImpl*>(view.get())->source : nullptr;
}

DescriptorSource* sourceOf(const Ref<UnorderedAccessView>& view) {
    return view ? &static_cast<UnorderedAccessViewImpl*>(view.get())->source : nullptr;
}

const ShaderCode* codeOf(const Ref<VertexShader>& s) {
    return s ? &static_cast<VertexShaderImpl*>(s.get())->code : nullptr;
}
const ShaderCode* codeOf(const Ref<PixelShader>& s) {
    return s ? &static_cast<PixelShaderImpl*>(s.get())->code : nullptr;
}
const ShaderCode* codeOf(const Ref<ComputeShader>& s) {
    return s ? &static_cast<ComputeShaderImpl*>(s.get())->code : nullptr;
}

// Integer targets are cleared with the colour converted to integers, as Direct3D does.
VkClearColorValue clearValue(VkFormat format, const float color[4]) {
    VkClearColorValue value{};
    for (int i = 0; i < 4; ++i) {
        if (format == VK_FORMAT_R32_UINT || format == VK_FORMAT_R8_UINT)
            value.uint32[i] = uint32_t(color[i]);
        else if (format == VK_FORMAT_R32_SINT)
            value.int32[i] = int32_t(color[i]);
        else
            value.float32[i] = color[i];
    }
    return value;
}

} // namespace

ContextImpl::ContextImpl(CorePtr core) : core_(core), pipelines_(core) {}

ContextImpl::~ContextImpl() {
    endRendering();
    core_->waitIdle();
}

// --- binding ----------------------------------------------------------------------------------

void ContextImpl::VSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setSlots(*core_, "VSSetShaderResources", vs_.resources, start, count, views);
}
void ContextImpl::PSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setSlots(*core_, "PSSetShaderResources", ps_.resources, start, count, views);
}
void ContextImpl::CSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setSlots(*core_, "CSSetShaderResources", cs_.resources, start, count, views);
}
void ContextImpl::CSSetUnorderedAccessViews(uint32_t start, uint32_t count, UnorderedAccessView* const* views,
                                            const uint32_t*) {
    setSlots(*core_, "CSSetUnorderedAccessViews", uavs_, start, count, views);
}
void ContextImpl::VSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setSlots(*core_, "VSSetConstantBuffers", vs_.constantBuffers, start, count, buffers);
}
void ContextImpl::PSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setSlots(*core_, "PSSetConstantBuffers", ps_.constantBuffers, start, count, buffers);
}
void ContextImpl::CSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setSlots(*core_, "CSSetConstantBuffers", cs_.constantBuffers, start, count, buffers);
}
void ContextImpl::VSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSlots(*core_, "VSSetSamplers", vs_.samplers, start, count, samplers);
}
void ContextImpl::PSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSlots(*core_, "PSSetSamplers", ps_.samplers, start, count, samplers);
}
void ContextImpl::CSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSlots(*core_, "CSSetSamplers", cs_.samplers, start, count, samplers);
}
void ContextImpl::VSSetShader(VertexShader* shader) {
    vertexShader_ = Ref<VertexShader>::share(shader);
    graphicsDirty_ = true;
}
void ContextImpl::PSSetShader(PixelShader* shader) {
    pixelShader_ = Ref<PixelShader>::share(shader);
    graphicsDirty_ = true;
}
void ContextImpl::CSSetShader(ComputeShader* shader) {
    computeShader_ = Ref<ComputeShader>::share(shader);
    computeDirty_ = true;
}
void ContextImpl::IASetPrimitiveTopology(PrimitiveTopology topology) {
    if (!core_->pass(CheckTopology(topology), "IASetPrimitiveTopology")) return;
    topology_ = topology;
    graphicsDirty_ = true;
}
void ContextImpl::RSSetState(RasterizerState* state) {
    rasterizer_ = Ref<RasterizerState>::share(state);
    graphicsDirty_ = true;
}

void ContextImpl::RSSetViewports(uint32_t count, const Viewport* viewports) {
    viewport_ = count && viewports ? viewports[0] : Viewport{};
    dynamicStateDirty_ = true;
}

void ContextImpl::OMSetBlendState(BlendState* state, const float blendFactor[4], uint32_t) {
    blend_ = Ref<BlendState>::share(state);
    graphicsDirty_ = true;
    static const float kOpaque[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::memcpy(blendFactor_, blendFactor ? blendFactor : kOpaque, sizeof(blendFactor_));
    dynamicStateDirty_ = true;
}

void ContextImpl::OMSetRenderTargets(uint32_t count, RenderTargetView* const* views,
                                     DepthStencilView* depth) {
    if (!core_->pass(CheckRenderTargets(count), "OMSetRenderTargets")) return;
    endRendering();
    targetCount_ = count;
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        targets_[i] = Ref<RenderTargetView>::share(i < targetCount_ && views ? views[i] : nullptr);
    depthTarget_ = Ref<DepthStencilView>::share(depth);
}

// --- recording and hazards ---------------------------------------------------------------------

VkCommandBuffer ContextImpl::commands() {
    VkCommandBuffer commands = core_->mainCommands();
    if (core_->recordingSerial() != batchSerial_) {
        // A fresh command buffer: it starts with a barrier and with no state bound.
        batchSerial_ = core_->recordingSerial();
        ++epoch_;
        rendering_ = false;
        boundGraphics_ = boundCompute_ = VK_NULL_HANDLE;
        dynamicStateDirty_ = true;
    }
    return commands;
}

VkCommandBuffer ContextImpl::outsideRendering() {
    endRendering();
    return commands();
}

void ContextImpl::endRendering() {
    if (!rendering_) return;
    core_->vk.cmdEndRendering(core_->mainCommands());
    rendering_ = false;
}

void ContextImpl::fullBarrier() {
    endRendering();
    recordMemoryBarrier(*core_, commands());
    ++epoch_;
}

bool ContextImpl::conflicts(const std::vector<Access>& accesses) const {
    return std::any_of(accesses.begin(), accesses.end(), [&](const Access& a) {
        return a.hazard->writeEpoch == epoch_ || (a.write && a.hazard->readEpoch == epoch_);
    });
}

void ContextImpl::prepareAccesses(const std::vector<Access>& accesses) {
    commands();
    if (conflicts(accesses)) fullBarrier();
    for (const Access& a : accesses) (a.write ? a.hazard->writeEpoch : a.hazard->readEpoch) = epoch_;
}

// --- descriptors --------------------------------------------------------------------------------

void ContextImpl::collectDescriptors(const ProgramLayout& layout, const StageBindings& other,
                                     const StageBindings* pixel) {
    accesses_.clear();
    writeCount_ = 0;
    for (const LayoutBinding& b : layout.bindings) {
        if (writeCount_ == kMaxDescriptors) break;
        const StageBindings& stage = pixel && (b.stages & VK_SHADER_STAGE_FRAGMENT_BIT) ? *pixel : other;
        const uint32_t i = writeCount_++;
        VkWriteDescriptorSet& w = writes_[i];
        w = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        w.dstBinding = b.binding;
        w.descriptorCount = 1;
        imageInfos_[i] = {VK_NULL_HANDLE, VK_NULL_HANDLE, VK_IMAGE_LAYOUT_GENERAL};
        bufferInfos_[i] = {VK_NULL_HANDLE, 0, VK_WHOLE_SIZE};
        texelViews_[i] = VK_NULL_HANDLE;
        w.pImageInfo = &imageInfos_[i];
        w.pBufferInfo = &bufferInfos_[i];
        w.pTexelBufferView = &texelViews_[i];

        // The register range says whether a binding is an input (t#) or an output (u#).
        DescriptorSource* source = nullptr;
        bool write = false;
        if (b.binding >= kUavBindingBase && b.binding < kUavBindingBase + UAV_SLOT_COUNT) {
            if (!pixel) source = sourceOf(uavs_[b.binding - kUavBindingBase]);
            write = true;
        } else if (b.binding >= kTextureBindingBase &&
                   b.binding < kTextureBindingBase + COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT) {
            source = sourceOf(stage.resources[b.binding - kTextureBindingBase]);
        }
        switch (b.kind) {
        case ShaderBindingKind::Sampler: {
            w.descriptorType = VK_DESCRIPTOR_TYPE_SAMPLER;
            const SamplerState* sampler =
                b.binding < COMMONSHADER_SAMPLER_SLOT_COUNT ? stage.samplers[b.binding].get() : nullptr;
            imageInfos_[i].sampler =
                sampler ? static_cast<const SamplerStateImpl*>(sampler)->sampler : core_->defaultSampler;
            break;
        }
        case ShaderBindingKind::ConstantBuffer: {
            w.descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
            Buffer* buffer = b.binding < COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT
                                 ? stage.constantBuffers[b.binding].get()
                                 : nullptr;
            if (auto* impl = static_cast<BufferImpl*>(buffer); impl && impl->buffer) {
                bufferInfos_[i] = {impl->buffer, 0,
                                   std::min<VkDeviceSize>(impl->GetDesc().ByteWidth,
                                                          core_->properties.limits.maxUniformBufferRange)};
                accesses_.push_back({&impl->hazard, false});
            }
            break;
        }
        case ShaderBindingKind::SampledTexture:
        case ShaderBindingKind::StorageTexture:
            w.descriptorType = b.kind == ShaderBindingKind::SampledTexture ? VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE
                                                                           : VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
            if (source && source->imageView) {
                imageInfos_[i].imageView = source->imageView;
                accesses_.push_back({source->hazard, write});
            }
            break;
        case ShaderBindingKind::TexelBuffer:
        case ShaderBindingKind::StorageTexelBuffer:
            w.descriptorType = b.kind == ShaderBindingKind::TexelBuffer
                                   ? VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER
                                   : VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER;
            if (source && source->buffer) {
                const Format format = b.format != Format::UNKNOWN ? b.format : source->format;
                texelViews_[i] = source->texelView(format);
                if (texelViews_[i]) accesses_.push_back({source->hazard, write});
            }
            break;
        case ShaderBindingKind::StorageBuffer:
            w.descriptorType = VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
            if (source && source->buffer) {
                bufferInfos_[i] = {source->buffer, source->offset, source->range};
                accesses_.push_back({source->hazard, write});
            }
            break;
        }
    }
}

void ContextImpl::pushDescriptors(VkCommandBuffer commands, VkPipelineBindPoint bindPoint,
                                  const ProgramLayout& layout) {
    if (writeCount_)
        core_->cmdPushDescriptorSet(commands, bindPoint, layout.pipelineLayout, 0, writeCount_, writes_);
}

// --- drawing ------------------------------------------------------------------------------------

bool ContextImpl::resolveTargets() {
    renderExtent_ = {UINT32_MAX, UINT32_MAX};
    for (uint32_t i = 0; i < targetCount_; ++i) {
        colorViews_[i] = VK_NULL_HANDLE;
        colorFormats_[i] = VK_FORMAT_UNDEFINED;
        auto* view = static_cast<RenderTargetViewImpl*>(targets_[i].get());
        TextureImage* image = view ? view->texture->image() : nullptr;
        if (!image) continue;
        colorViews_[i] = image->attachmentView(view->mip);
        colorFormats_[i] = image->format;
        const VkExtent3D e = image->mipExtent(view->mip);
        renderExtent_ = {std::min(renderExtent_.width, e.width), std::min(renderExtent_.height, e.height)};
        accesses_.push_back({&image->hazard, true});
    }
    depthView_ = VK_NULL_HANDLE;
    depthFormat_ = VK_FORMAT_UNDEFINED;
    if (auto* view = static_cast<DepthStencilViewImpl*>(depthTarget_.get())) {
        TextureImage* image = view->texture->image();
        depthView_ = image->attachmentView(view->mip);
        depthFormat_ = image->format;
        const VkExtent3D e = image->mipExtent(view->mip);
        renderExtent_ = {std::min(renderExtent_.width, e.width), std::min(renderExtent_.height, e.height)};
        accesses_.push_back({&image->hazard, true});
    }
    return renderExtent_.width != UINT32_MAX;
}

void ContextImpl::beginRendering() {
    VkRenderingAttachmentInfo colors[SIMULTANEOUS_RENDER_TARGET_COUNT];
    for (uint32_t i = 0; i < targetCount_; ++i) {
        colors[i] = {VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        colors[i].imageView = colorViews_[i];
        colors[i].imageLayout = VK_IMAGE_LAYOUT_GENERAL;
        colors[i].loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
        colors[i].storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    }
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = depthView_;
    depth.imageLayout = VK_IMAGE_LAYOUT_GENERAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, renderExtent_};
    info.layerCount = 1;
    info.colorAttachmentCount = targetCount_;
    info.pColorAttachments = colors;
    info.pDepthAttachment = depthView_ ? &depth : nullptr;
    info.pStencilAttachment =
        depthView_ && (aspectOf(depthFormat_) & VK_IMAGE_ASPECT_STENCIL_BIT) ? &depth : nullptr;
    core_->vk.cmdBeginRendering(commands(), &info);
    rendering_ = true;
    dynamicStateDirty_ = true;
}

void ContextImpl::Draw(uint32_t vertexCount, uint32_t startVertex) {
    draw("Draw", vertexCount, 1, startVertex, 0);
}

DrawBindings ContextImpl::drawBindings() const {
    DrawBindings bound{codeOf(vertexShader_) != nullptr, topology_, viewport_, depthTarget_.get() != nullptr};
    for (uint32_t i = 0; i < targetCount_; ++i) bound.target = bound.target || targets_[i];
    return bound;
}

VkCommandBuffer ContextImpl::prepareDraw(std::initializer_list<Access> extra) {
    const ShaderCode* vs = codeOf(vertexShader_);
    const ShaderCode* ps = codeOf(pixelShader_);
    // The layout depends on the programs only, each of which sets the flag when it changes.
    if (graphicsDirty_) graphicsLayout_ = pipelines_.layout(*vs, ps);
    if (!graphicsLayout_) return VK_NULL_HANDLE;
    collectDescriptors(*graphicsLayout_, vs_, &ps_);
    accesses_.insert(accesses_.end(), extra.begin(), extra.end());

    commands();
    // Inputs written since the last barrier force one, which cannot sit inside rendering.
    if (rendering_ && conflicts(accesses_)) endRendering();
    const bool begin = !rendering_;
    if (begin && !resolveTargets()) return VK_NULL_HANDLE;
    // Target formats are known once resolved (a swap chain's buffer is chosen then); while
    // rendering goes on they stay those the key was last built with.
    if (begin && !graphicsKey_.sameTargets(targetCount_, colorFormats_, depthFormat_)) graphicsDirty_ = true;
    if (graphicsDirty_) {
        graphicsKey_.setState(*vs, ps, toVkTopology(topology_),
                              rasterizer_ ? static_cast<RasterizerStateImpl*>(rasterizer_.get())->desc
                                          : RasterizerDesc{},
                              blend_ ? static_cast<BlendStateImpl*>(blend_.get())->desc : BlendDesc{});
        graphicsKey_.setTargets(targetCount_, colorFormats_, depthFormat_);
        graphicsPipeline_ = pipelines_.graphics(graphicsKey_, *vs, ps, *graphicsLayout_);
        if (!graphicsPipeline_) return VK_NULL_HANDLE;
        graphicsDirty_ = false;
    }
    const VkPipeline pipeline = graphicsPipeline_;
    const ProgramLayout* layout = graphicsLayout_;
    prepareAccesses(accesses_);
    if (begin) beginRendering();

    VkCommandBuffer cmd = commands();
    if (pipeline != boundGraphics_) {
        vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline);
        boundGraphics_ = pipeline;
    }
    pushDescriptors(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, *layout);
    if (dynamicStateDirty_) {
        // A negative height turns Vulkan's downward clip y into Direct3D's upward one.
        const VkViewport viewport{viewport_.TopLeftX, viewport_.TopLeftY + viewport_.Height,
                                  viewport_.Width,    -viewport_.Height,
                                  viewport_.MinDepth, viewport_.MaxDepth};
        const VkRect2D scissor{{0, 0}, renderExtent_};
        vkCmdSetViewport(cmd, 0, 1, &viewport);
        vkCmdSetScissor(cmd, 0, 1, &scissor);
        vkCmdSetBlendConstants(cmd, blendFactor_);
        dynamicStateDirty_ = false;
    }
    return cmd;
}

void ContextImpl::DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                                uint32_t startInstance) {
    draw("DrawInstanced", vertexCount, instanceCount, startVertex, startInstance);
}

void ContextImpl::draw(const char* call, uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                       uint32_t startInstance) {
    if (!core_->pass(CheckDraw(drawBindings()), call)) return;
    if (VkCommandBuffer cmd = prepareDraw({}))
        vkCmdDraw(cmd, vertexCount, instanceCount, startVertex, startInstance);
}

void ContextImpl::IASetIndexBuffer(Buffer* buffer, Format format, uint32_t offset) {
    if (!core_->pass(CheckIndexBuffer(buffer, format, offset), "IASetIndexBuffer")) return;
    indexBuffer_ = Ref<Buffer>::share(buffer);
    indexOffset_ = offset;
}

void ContextImpl::DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex,
                                       int32_t baseVertex, uint32_t startInstance) {
    if (!core_->pass(
            CheckDrawIndexed(drawBindings(), indexBuffer_.get(), indexOffset_, startIndex, indexCount),
            "DrawIndexedInstanced"))
        return;
    auto* indices = static_cast<BufferImpl*>(indexBuffer_.get());
    // A fresh command buffer binds nothing, so the indices are bound with every draw.
    if (VkCommandBuffer cmd = prepareDraw({{&indices->hazard, false}})) {
        vkCmdBindIndexBuffer(cmd, indices->buffer, indexOffset_, VK_INDEX_TYPE_UINT32);
        vkCmdDrawIndexed(cmd, indexCount, instanceCount, startIndex, baseVertex, startInstance);
    }
}

void ContextImpl::DrawIndexedInstancedIndirect(Buffer* arguments, uint32_t offset) {
    if (!core_->pass(CheckDrawIndexedIndirect(drawBindings(), indexBuffer_.get(), arguments, offset),
                     "DrawIndexedInstancedIndirect"))
        return;
    auto* indices = static_cast<BufferImpl*>(indexBuffer_.get());
    auto* args = static_cast<BufferImpl*>(arguments);
    if (VkCommandBuffer cmd = prepareDraw({{&indices->hazard, false}, {&args->hazard, false}})) {
        vkCmdBindIndexBuffer(cmd, indices->buffer, indexOffset_, VK_INDEX_TYPE_UINT32);
        vkCmdDrawIndexedIndirect(cmd, args->buffer, offset, 1, kDrawIndexedArgumentsSize);
    }
}

void ContextImpl::Dispatch(uint32_t x, uint32_t y, uint32_t z) {
    const ShaderCode* cs = codeOf(computeShader_);
    // Every Vulkan device takes at least the 65535 groups a dimension that the check allows.
    if (!core_->pass(CheckDispatch(cs != nullptr, x, y, z), "Dispatch")) return;
    if (computeDirty_) {
        computeLayout_ = pipelines_.layout(*cs, nullptr);
        if (!computeLayout_) return;
        computePipeline_ = pipelines_.compute(*cs, *computeLayout_);
        if (!computePipeline_) return;
        computeDirty_ = false;
    }
    const VkPipeline pipeline = computePipeline_;
    const ProgramLayout* layout = computeLayout_;
    collectDescriptors(*layout, cs_, nullptr);
    endRendering();
    prepareAccesses(accesses_);
    VkCommandBuffer cmd = commands();
    if (pipeline != boundCompute_) {
        vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, pipeline);
        boundCompute_ = pipeline;
    }
    pushDescriptors(cmd, VK_PIPELINE_BIND_POINT_COMPUTE, *layout);
    vkCmdDispatch(cmd, x, y, z);
}

// --- transfers ------------------------------------------------------------------------------------

void ContextImpl::ClearRenderTargetView(RenderTargetView* view, const float color[4]) {
    if (!core_->pass(CheckClearRenderTarget(view, color), "ClearRenderTargetView")) return;
    auto* rtv = static_cast<RenderTargetViewImpl*>(view);
    // Buffer 0 of a window with no area has no image: there is nothing to clear.
    if (!rtv->texture->image()) return;
    endRendering();
    commands();
    TextureImage& image = *rtv->texture->image();
    prepareAccesses({{&image.hazard, true}});
    const VkClearColorValue value = clearValue(image.format, color);
    const VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, rtv->mip, 1, 0, 1};
    vkCmdClearColorImage(commands(), image.image, VK_IMAGE_LAYOUT_GENERAL, &value, 1, &range);
}

void ContextImpl::ClearDepthStencilView(DepthStencilView* view, uint32_t flags, float depth,
                                        uint8_t stencil) {
    if (!core_->pass(CheckClearDepthStencil(view, flags), "ClearDepthStencilView")) return;
    auto* dsv = static_cast<DepthStencilViewImpl*>(view);
    endRendering();
    TextureImage& image = *dsv->texture->image();
    VkImageAspectFlags aspects = 0;
    if (flags & CLEAR_DEPTH) aspects |= VK_IMAGE_ASPECT_DEPTH_BIT;
    if (flags & CLEAR_STENCIL) aspects |= image.aspect & VK_IMAGE_ASPECT_STENCIL_BIT;
    if (!aspects) return;
    prepareAccesses({{&image.hazard, true}});
    const VkClearDepthStencilValue value{depth, stencil};
    const VkImageSubresourceRange range{aspects, dsv->mip, 1, 0, 1};
    vkCmdClearDepthStencilImage(commands(), image.image, VK_IMAGE_LAYOUT_GENERAL, &value, 1, &range);
}

void ContextImpl::UpdateSubresource(Resource* resource, uint32_t subresource, const Box* box,
                                    const void* data, uint32_t rowPitch, uint32_t depthPitch) {
    if (!core_->pass(CheckUpdateSubresource(resource, subresource, box, data), "UpdateSubresource")) return;
    if (BufferImpl* buffer = bufferOf(resource)) {
        const uint32_t begin = box ? box->left : 0, end = box ? box->right : buffer->GetDesc().ByteWidth;
        endRendering();
        prepareAccesses({{&buffer->hazard, true}});
        copyToBuffer(*core_, commands(), buffer->buffer, begin, data, end - begin);
        return;
    }
    TextureBase* texture = textureOf(resource);
    if (!texture->image()) return;
    TextureImage& image = *texture->image();
    const VkExtent3D e = image.mipExtent(subresource);
    const Box region = box ? *box : Box{0, 0, 0, e.width, e.height, e.depth};
    endRendering();
    prepareAccesses({{&image.hazard, true}});
    copyToImage(*core_, commands(), image, subresource, region, data, rowPitch, depthPitch);
}

void ContextImpl::GenerateMips(ShaderResourceView* view) {
    if (!core_->pass(CheckGenerateMips(view), "GenerateMips")) return;
    auto* srv = static_cast<ShaderResourceViewImpl*>(view);
    if (!srv->source.image) return;
    TextureImage& image = *srv->source.image;
    const uint32_t first = srv->source.mostDetailedMip;
    if (first + 1 >= image.mipLevels) return;
    if (!core_->formatSupports(image.format,
                               VK_FORMAT_FEATURE_BLIT_SRC_BIT | VK_FORMAT_FEATURE_BLIT_DST_BIT)) {
        core_->lastError = "mip levels of this format cannot be generated";
        return;
    }
    const VkFilter filter =
        core_->formatSupports(image.format, VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT)
            ? VK_FILTER_LINEAR
            : VK_FILTER_NEAREST;
    endRendering();
    prepareAccesses({{&image.hazard, true}});
    for (uint32_t level = first + 1; level < image.mipLevels; ++level) {
        // Each level is read as the previous one was just written.
        if (level > first + 1) fullBarrier();
        const VkExtent3D from = image.mipExtent(level - 1), to = image.mipExtent(level);
        VkImageBlit blit{};
        blit.srcSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, level - 1, 0, 1};
        blit.srcOffsets[1] = {int32_t(from.width), int32_t(from.height), int32_t(from.depth)};
        blit.dstSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, level, 0, 1};
        blit.dstOffsets[1] = {int32_t(to.width), int32_t(to.height), int32_t(to.depth)};
        vkCmdBlitImage(commands(), image.image, VK_IMAGE_LAYOUT_GENERAL, image.image, VK_IMAGE_LAYOUT_GENERAL,
                       1, &blit, filter);
    }
    image.hazard.writeEpoch = epoch_;
}

void ContextImpl::Flush() {
    endRendering();
    core_->submit();
}

bool ContextImpl::ReadBack(Resource* resource, uint32_t subresource, void* destination,
                           size_t destinationSize, uint32_t rowPitch) {
    if (!core_->pass(CheckReadBack(resource, subresource, destination, destinationSize, rowPitch),
                     "ReadBack"))
        return false;
    if (BufferImpl* buffer = bufferOf(resource)) {
        const VkDeviceSize size = buffer->GetDesc().ByteWidth;
        endRendering();
        prepareAccesses({{&buffer->hazard, false}});
        const UploadSpan span = core_->stage(size);
        if (!span.mapped) return false;
        const VkBufferCopy region{0, span.offset, size};
        vkCmdCopyBuffer(commands(), buffer->buffer, span.buffer, 1, &region);
        recordMemoryBarrier(*core_, commands(), VK_PIPELINE_STAGE_2_HOST_BIT, VK_ACCESS_2_HOST_READ_BIT);
        return core_->waitIdle([&] { std::memcpy(destination, span.mapped, size); });
    }
    TextureBase* texture = textureOf(resource);
    if (!texture->image()) return false;
    TextureImage& image = *texture->image();
    const VkExtent3D e = image.mipExtent(subresource);
    // The image's own texels: a depth format may stand in for another of a different size.
    const size_t rowBytes = size_t(e.width) * texelSize(image.format);
    if (rowPitch == 0) rowPitch = uint32_t(rowBytes);
    const size_t rows = size_t(e.height) * e.depth;
    if (rowPitch < rowBytes || destinationSize < rowPitch * (rows - 1) + rowBytes) return false;
    endRendering();
    prepareAccesses({{&image.hazard, false}});
    const UploadSpan span = core_->stage(rowBytes * rows, 16);
    if (!span.mapped) return false;
    VkBufferImageCopy region{};
    region.bufferOffset = span.offset;
    region.imageSubresource = {image.aspect & VK_IMAGE_ASPECT_COLOR_BIT ? VK_IMAGE_ASPECT_COLOR_BIT
                                                                        : VK_IMAGE_ASPECT_DEPTH_BIT,
                               subresource, 0, 1};
    region.imageExtent = e;
    vkCmdCopyImageToBuffer(commands(), image.image, VK_IMAGE_LAYOUT_GENERAL, span.buffer, 1, &region);
    recordMemoryBarrier(*core_, commands(), VK_PIPELINE_STAGE_2_HOST_BIT, VK_ACCESS_2_HOST_READ_BIT);
    return core_->waitIdle([&] {
        for (size_t row = 0; row < rows; ++row)
            std::memcpy(static_cast<uint8_t*>(destination) + row * rowPitch, span.mapped + row * rowBytes,
                        rowBytes);
    });
}

} // namespace gpu::vulkan
