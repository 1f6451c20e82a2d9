#include "platform/vulkan/pipelines.h"

#include "platform/vulkan/formats.h"

#include <algorithm>
#include <bit>

namespace gpu::vulkan {

namespace {

VkDescriptorType descriptorType(ShaderBindingKind kind) {
    switch (kind) {
    case ShaderBindingKind::Sampler:
        return VK_DESCRIPTOR_TYPE_SAMPLER;
    case ShaderBindingKind::SampledTexture:
        return VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE;
    case ShaderBindingKind::TexelBuffer:
        return VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER;
    case ShaderBindingKind::StorageTexelBuffer:
        return VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER;
    case ShaderBindingKind::ConstantBuffer:
        return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
    case ShaderBindingKind::StorageBuffer:
        return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER;
    case ShaderBindingKind::StorageTexture:
        return VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
    }
    return VK_DESCRIPTOR_TYPE_SAMPLER;
}

VkShaderStageFlags stageFlag(ShaderStage stage) {
    switch (stage) {
    case ShaderStage::Vertex:
        return VK_SHADER_STAGE_VERTEX_BIT;
    case ShaderStage::Pixel:
        return VK_SHADER_STAGE_FRAGMENT_BIT;
    case ShaderStage::Compute:
        return VK_SHADER_STAGE_COMPUTE_BIT;
    }
    return 0;
}

const RenderTargetBlendDesc& targetBlend(const BlendDesc& blend, uint32_t target) {
    return blend.RenderTarget[blend.IndependentBlendEnable ? target : 0];
}

VkPipelineShaderStageCreateInfo stageInfo(const ShaderCode& code) {
    VkPipelineShaderStageCreateInfo info{VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO};
    info.stage = VkShaderStageFlagBits(stageFlag(code.stage));
    info.module = code.module;
    info.pName = code.stage == ShaderStage::Vertex  ? "vertex_main"
                 : code.stage == ShaderStage::Pixel ? "pixel_main"
                                                    : "kernel_main";
    return info;
}

} // namespace

void GraphicsKey::setState(const ShaderCode& vs, const ShaderCode* ps, VkPrimitiveTopology primitiveTopology,
                           const RasterizerDesc& rasterizer, const BlendDesc& blendDesc) {
    vertexProgram = vs.id;
    pixelProgram = ps ? ps->id : 0;
    topology = uint16_t(primitiveTopology);
    fillMode = uint8_t(rasterizer.FillMode);
    cullMode = uint8_t(rasterizer.CullMode);
    frontCounterClockwise = rasterizer.FrontCounterClockwise;
    depthBias = rasterizer.DepthBias;
    depthBiasClamp = std::bit_cast<uint32_t>(rasterizer.DepthBiasClamp);
    slopeScaledDepthBias = std::bit_cast<uint32_t>(rasterizer.SlopeScaledDepthBias);
    depthClipEnable = rasterizer.DepthClipEnable;
    alphaToCoverage = blendDesc.AlphaToCoverageEnable;
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        const RenderTargetBlendDesc& b = targetBlend(blendDesc, i);
        blend[i] = {b.BlendEnable,           uint8_t(b.SrcBlend),      uint8_t(b.DestBlend),
                    uint8_t(b.BlendOp),      uint8_t(b.SrcBlendAlpha), uint8_t(b.DestBlendAlpha),
                    uint8_t(b.BlendOpAlpha), b.RenderTargetWriteMask};
    }
}

void GraphicsKey::setTargets(uint32_t count, const VkFormat* colors, VkFormat depth) {
    colorCount = uint8_t(count);
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        colorFormats[i] = i < count ? colors[i] : VK_FORMAT_UNDEFINED;
    depthFormat = depth;
}

bool GraphicsKey::sameTargets(uint32_t count, const VkFormat* colors, VkFormat depth) const {
    return count == colorCount && depth == depthFormat && std::equal(colors, colors + count, colorFormats);
}

Pipelines::~Pipelines() {
    VkDevice device = core_->device;
    vkDeviceWaitIdle(device);
    for (auto& [key, pipeline] : graphics_) vkDestroyPipeline(device, pipeline, nullptr);
    for (auto& [key, pipeline] : compute_) vkDestroyPipeline(device, pipeline, nullptr);
    for (auto& [key, layout] : layouts_) {
        vkDestroyPipelineLayout(device, layout.pipelineLayout, nullptr);
        vkDestroyDescriptorSetLayout(device, layout.setLayout, nullptr);
    }
}

const ProgramLayout* Pipelines::layout(const ShaderCode& first, const ShaderCode* second) {
    const LayoutKey key{first.id, second ? second->id : 0};
    if (auto found = layouts_.find(key); found != layouts_.end()) return &found->second;

    std::vector<LayoutBinding> merged;
    for (const ShaderCode* code : {&first, second}) {
        if (!code) continue;
        for (const ShaderBinding& b : code->bindings) {
            auto same = std::find_if(merged.begin(), merged.end(),
                                     [&](const LayoutBinding& m) { return m.binding == b.binding; });
            if (same == merged.end())
                merged.push_back({b.binding, b.kind, b.format, stageFlag(code->stage)});
            else if (same->kind != b.kind || same->format != b.format) {
                core_->lastError = "the vertex and pixel programs declare binding " +
                                   std::to_string(b.binding) + " differently";
                return nullptr;
            } else
                same->stages |= stageFlag(code->stage);
        }
    }
    std::vector<VkDescriptorSetLayoutBinding> bindings;
    for (const LayoutBinding& b : merged)
        bindings.push_back({b.binding, descriptorType(b.kind), 1, b.stages, nullptr});
    ProgramLayout layout;
    layout.bindings = std::move(merged);
    VkDescriptorSetLayoutCreateInfo setInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
    setInfo.flags = VK_DESCRIPTOR_SET_LAYOUT_CREATE_PUSH_DESCRIPTOR_BIT_KHR;
    setInfo.bindingCount = uint32_t(bindings.size());
    setInfo.pBindings = bindings.data();
    if (vkCreateDescriptorSetLayout(core_->device, &setInfo, nullptr, &layout.setLayout) != VK_SUCCESS) {
        core_->lastError = "descriptor layout could not be created";
        return nullptr;
    }
    VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    layoutInfo.setLayoutCount = 1;
    layoutInfo.pSetLayouts = &layout.setLayout;
    if (vkCreatePipelineLayout(core_->device, &layoutInfo, nullptr, &layout.pipelineLayout) != VK_SUCCESS) {
        vkDestroyDescriptorSetLayout(core_->device, layout.setLayout, nullptr);
        core_->lastError = "pipeline layout could not be created";
        return nullptr;
    }
    return &layouts_.emplace(key, std::move(layout)).first->second;
}

VkPipeline Pipelines::graphics(const GraphicsKey& key, const ShaderCode& vs, const ShaderCode* ps,
                               const ProgramLayout& layout) {
    ++lookups_;
    if (auto found = graphics_.find(key); found != graphics_.end()) return found->second;

    VkPipelineShaderStageCreateInfo stages[2] = {stageInfo(vs)};
    if (ps) stages[1] = stageInfo(*ps);
    VkPipelineVertexInputStateCreateInfo vertexInput{
        VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    VkPipelineInputAssemblyStateCreateInfo assembly{
        VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    assembly.topology = VkPrimitiveTopology(key.topology);
    VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    viewport.viewportCount = viewport.scissorCount = 1;

    VkPipelineRasterizationStateCreateInfo raster{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    raster.polygonMode = FillMode(key.fillMode) == FillMode::WIREFRAME && core_->features.fillModeNonSolid
                             ? VK_POLYGON_MODE_LINE
                             : VK_POLYGON_MODE_FILL;
    const CullMode cull = CullMode(key.cullMode);
    raster.cullMode = cull == CullMode::BACK    ? VK_CULL_MODE_BACK_BIT
                      : cull == CullMode::FRONT ? VK_CULL_MODE_FRONT_BIT
                                                : VK_CULL_MODE_NONE;
    // With the viewport flipped, framebuffer winding is the winding seen on screen, which is
    // what Direct3D's FrontCounterClockwise describes.
    raster.frontFace = key.frontCounterClockwise ? VK_FRONT_FACE_COUNTER_CLOCKWISE : VK_FRONT_FACE_CLOCKWISE;
    raster.depthClampEnable = !key.depthClipEnable && core_->features.depthClamp;
    raster.depthBiasConstantFactor = float(key.depthBias);
    raster.depthBiasClamp = std::bit_cast<float>(key.depthBiasClamp);
    raster.depthBiasSlopeFactor = std::bit_cast<float>(key.slopeScaledDepthBias);
    raster.depthBiasEnable = key.depthBias != 0 || raster.depthBiasSlopeFactor != 0.0f;
    raster.lineWidth = 1.0f;

    VkPipelineMultisampleStateCreateInfo multisample{
        VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
    multisample.alphaToCoverageEnable = key.alphaToCoverage;

    // A bound depth target gets Direct3D's default depth state: test LESS, write on.
    VkPipelineDepthStencilStateCreateInfo depth{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
    depth.depthTestEnable = depth.depthWriteEnable = key.depthFormat != VK_FORMAT_UNDEFINED;
    depth.depthCompareOp = VK_COMPARE_OP_LESS;

    VkPipelineColorBlendAttachmentState attachments[SIMULTANEOUS_RENDER_TARGET_COUNT]{};
    // Without independent blending on the adapter every target blends like the first.
    const bool independent = core_->features.independentBlend;
    for (uint32_t i = 0; i < key.colorCount; ++i) {
        const TargetBlendKey& b = key.blend[independent ? i : 0];
        VkPipelineColorBlendAttachmentState& a = attachments[i];
        a.blendEnable = b.enable;
        a.srcColorBlendFactor = toVkBlendFactor(Blend(b.source));
        a.dstColorBlendFactor = toVkBlendFactor(Blend(b.destination));
        a.colorBlendOp = toVkBlendOp(BlendOp(b.operation));
        a.srcAlphaBlendFactor = toVkBlendFactor(Blend(b.sourceAlpha));
        a.dstAlphaBlendFactor = toVkBlendFactor(Blend(b.destinationAlpha));
        a.alphaBlendOp = toVkBlendOp(BlendOp(b.operationAlpha));
        a.colorWriteMask = b.writeMask & 0xF; // R, G, B, A bits match
    }
    VkPipelineColorBlendStateCreateInfo blend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    blend.attachmentCount = key.colorCount;
    blend.pAttachments = attachments;

    const VkDynamicState dynamics[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR,
                                       VK_DYNAMIC_STATE_BLEND_CONSTANTS};
    VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    dynamic.dynamicStateCount = 3;
    dynamic.pDynamicStates = dynamics;

    VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    rendering.colorAttachmentCount = key.colorCount;
    rendering.pColorAttachmentFormats = key.colorFormats;
    rendering.depthAttachmentFormat = key.depthFormat;
    if (aspectOf(key.depthFormat) & VK_IMAGE_ASPECT_STENCIL_BIT)
        rendering.stencilAttachmentFormat = key.depthFormat;

    VkGraphicsPipelineCreateInfo info{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO, &rendering};
    info.stageCount = ps ? 2 : 1;
    info.pStages = stages;
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &assembly;
    info.pViewportState = &viewport;
    info.pRasterizationState = &raster;
    info.pMultisampleState = &multisample;
    info.pDepthStencilState = &depth;
    info.pColorBlendState = &blend;
    info.pDynamicState = &dynamic;
    info.layout = layout.pipelineLayout;
    VkPipeline pipeline = VK_NULL_HANDLE;
    if (vkCreateGraphicsPipelines(core_->device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline) !=
        VK_SUCCESS) {
        core_->lastError = "graphics pipeline could not be created";
        return VK_NULL_HANDLE;
    }
    graphics_.emplace(key, pipeline);
    return pipeline;
}

VkPipeline Pipelines::compute(const ShaderCode& cs, const ProgramLayout& layout) {
    const ComputeKey key{cs.id};
    ++lookups_;
    if (auto found = compute_.find(key); found != compute_.end()) return found->second;
    VkComputePipelineCreateInfo info{VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = stageInfo(cs);
    info.layout = layout.pipelineLayout;
    VkPipeline pipeline = VK_NULL_HANDLE;
    if (vkCreateComputePipelines(core_->device, VK_NULL_HANDLE, 1, &info, nullptr, &pipeline) != VK_SUCCESS) {
        core_->lastError = "compute pipeline could not be created";
        return VK_NULL_HANDLE;
    }
    compute_.emplace(key, pipeline);
    return pipeline;
}

} // namespace gpu::vulkan
