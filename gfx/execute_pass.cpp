#include "gfx/execute_pass.h"

#include "gfx/buffer_runtime.h"
#include "gfx/context_buffer.h"
#include "gfx/gpu_access.h"
#include "gfx/pass_state.h"
#include "gfx/texture_runtime.h"

#include <algorithm>

namespace Orvo::Gfx {

namespace {

// What unbinding a pass's slots hands the context.
gpu::ShaderResourceView* const kNullInputs[kInputSlotCount] = {};
gpu::RenderTargetView* const kNullTargets[kTargetSlotCount] = {};
gpu::UnorderedAccessView* const kNullOutputs[kOutputSlotCount] = {};

} // namespace

uint32_t dispatchGroupCount(uint32_t threads) {
    return std::max(1u, threads / 8 + (threads % 8 != 0));
}

void executeGraphicsPass(GraphicsPass& pass, const void* block, uint32_t size) {
    gpu::Device* device = currentDevice();
    gpu::DeviceContext* context = currentContext();
    const GraphicsPassDesc& d = pass.desc;
    if (!device || !context || !pass.pipeline.vertexShader || !pass.pipeline.pixelShader) return;
    // The viewport comes from the first target; without one there is nothing to size it by.
    const TextureRuntime* first = d.targets.count ? d.targets[0].resource : nullptr;
    const auto topology = passTopology(d.topology);
    if (!first || !topology || !passBlendDesc(d.blendMode, d.blendEnabled)) return;
    // Made at set-up; only a descriptor edited since then has states to remake.
    refreshPassStates(pass.states, d);

    refreshContextBuffer(block, size);
    const gpu::Viewport viewport{float(pass.originX),
                                 float(pass.originY),
                                 float(first->desc.width),
                                 float(first->desc.height),
                                 0.0f,
                                 1.0f};
    context->RSSetViewports(1, &viewport);

    const uint32_t targetCount = std::min(d.targets.count, kTargetSlotCount);
    gpu::RenderTargetView* views[kTargetSlotCount] = {};
    for (uint32_t i = 0; i < targetCount; ++i) {
        const TextureRuntime* target = d.targets[i].resource;
        views[i] = target ? target->getRTV(false) : nullptr;
        if (d.clear && views[i]) context->ClearRenderTargetView(views[i], d.clearColor);
    }
    gpu::DepthStencilView* depthView = nullptr;
    if (d.depthEnabled && d.depth.resource) {
        depthView = d.depth.resource->getDSV();
        if (d.clear && depthView) context->ClearDepthStencilView(depthView, gpu::CLEAR_DEPTH, 1.0f, 0);
    }
    context->OMSetRenderTargets(targetCount, views, depthView);

    context->RSSetState(pass.states.rasterizer.get());
    context->IASetPrimitiveTopology(*topology);
    context->OMSetBlendState(pass.states.blend.get(), nullptr, 0xFFFFFFFFu);

    gpu::Buffer* const constants = sharedContextBuffer().bufferA.get();
    context->VSSetConstantBuffers(kContextBufferSlot, 1, &constants);
    context->PSSetConstantBuffers(kContextBufferSlot, 1, &constants);

    const uint32_t inputCount = std::min(d.inputs.count, kInputSlotCount);
    for (uint32_t i = 0; i < inputCount; ++i) {
        if (!d.inputs[i].resource) continue;
        gpu::ShaderResourceView* const view = d.inputs[i].resource->getSRV(true);
        context->VSSetShaderResources(i, 1, &view);
        context->PSSetShaderResources(i, 1, &view);
    }
    context->VSSetShader(pass.pipeline.vertexShader.get());
    context->PSSetShader(pass.pipeline.pixelShader.get());
    if (!d.indexBuffer) {
        context->DrawInstanced(d.vertexCount, d.instanceCount, 0, 0);
    } else if (gpu::Buffer* const indices = d.indexBuffer->bufferA.get()) {
        context->IASetIndexBuffer(indices, gpu::Format::R32_UINT, 0);
        if (d.drawArguments)
            context->DrawIndexedInstancedIndirect(d.drawArguments->bufferA.get(), 0);
        else
            context->DrawIndexedInstanced(d.vertexCount, d.instanceCount, 0, 0, 0);
        context->IASetIndexBuffer(nullptr, gpu::Format::R32_UINT, 0);
    }

    context->VSSetShaderResources(0, inputCount, kNullInputs);
    context->PSSetShaderResources(0, inputCount, kNullInputs);
    context->OMSetRenderTargets(targetCount, kNullTargets, nullptr);
    context->VSSetShader(nullptr);
    context->PSSetShader(nullptr);

    for (uint32_t i = 0; i < targetCount; ++i)
        if (d.targets[i].resource) d.targets[i].resource->generateMips();
}

void executeComputePass(const ComputePass& pass, const void* block, uint32_t size) {
    gpu::DeviceContext* context = currentContext();
    const ComputePassDesc& d = pass.desc;
    if (!context || !pass.pipeline.computeShader) return;

    refreshContextBuffer(block, size);
    gpu::Buffer* const constants = sharedContextBuffer().bufferA.get();
    context->CSSetConstantBuffers(kContextBufferSlot, 1, &constants);

    const uint32_t inputCount = std::min(d.inputs.count, kInputSlotCount);
    for (uint32_t i = 0; i < inputCount; ++i) {
        if (!d.inputs[i].resource) continue;
        gpu::ShaderResourceView* const view = d.inputs[i].resource->getSRV(true);
        context->CSSetShaderResources(i, 1, &view);
    }
    // Outputs follow the inputs in the unordered-access registers.
    const uint32_t firstOutputSlot = std::min(d.inputs.count, kOutputSlotCount);
    const uint32_t outputCount = std::min(d.outputs.count, kOutputSlotCount - firstOutputSlot);
    for (uint32_t i = 0; i < outputCount; ++i) {
        if (!d.outputs[i].resource) continue;
        gpu::UnorderedAccessView* const view = d.outputs[i].resource->getUAV(false);
        context->CSSetUnorderedAccessViews(firstOutputSlot + i, 1, &view, nullptr);
    }
    context->CSSetShader(pass.pipeline.computeShader.get());
    context->Dispatch(dispatchGroupCount(d.threadsX), dispatchGroupCount(d.threadsY),
                      dispatchGroupCount(d.threadsZ));

    context->CSSetShaderResources(0, inputCount, kNullInputs);
    context->CSSetUnorderedAccessViews(firstOutputSlot, outputCount, kNullOutputs, nullptr);
    context->CSSetShader(nullptr);

    for (uint32_t i = 0; i < outputCount; ++i) {
        if (d.outputs[i].kind != ResourceTexture) continue;
        // The kind is the builder's word; only an actual texture has mips to rebuild.
        if (auto* texture = dynamic_cast<TextureRuntime*>(d.outputs[i].resource)) texture->generateMips();
    }
}

} // namespace Orvo::Gfx
