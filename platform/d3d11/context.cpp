#include "platform/d3d11/context.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace gpu::d3d11 {

namespace {

ID3D11Buffer* nativeBuffer(Buffer* buffer) {
    return buffer ? static_cast<BufferImpl*>(buffer)->typed() : nullptr;
}

// The natives of `count` objects of ours, for a Set call.
template <class Impl, class Native, class Interface>
std::vector<Native*> natives(uint32_t count, Interface* const* objects) {
    std::vector<Native*> out(count, nullptr);
    for (uint32_t i = 0; objects && i < count; ++i) {
        if constexpr (std::is_same_v<Impl, BufferImpl>)
            out[i] = nativeBuffer(objects[i]);
        else
            out[i] = NativeObject<Impl>(objects[i]);
    }
    return out;
}

uint32_t extent(uint32_t size, uint32_t level) {
    return std::max(size >> level, 1u);
}

// A level's size in texels, and the texel's size in bytes.
struct LevelShape {
    uint32_t width = 1, height = 1, depth = 1;
    uint32_t texelBytes = 0;
};

LevelShape levelShape(Resource* resource, uint32_t level) {
    switch (resource->GetDimension()) {
    case ResourceDimension::Texture1D: {
        const auto d = static_cast<Texture1D*>(resource)->GetDesc();
        return {extent(d.Width, level), 1, 1, FormatByteSize(d.Format)};
    }
    case ResourceDimension::Texture2D: {
        const auto d = static_cast<Texture2D*>(resource)->GetDesc();
        return {extent(d.Width, level), extent(d.Height, level), 1, FormatByteSize(d.Format)};
    }
    case ResourceDimension::Texture3D: {
        const auto d = static_cast<Texture3D*>(resource)->GetDesc();
        return {extent(d.Width, level), extent(d.Height, level), extent(d.Depth, level),
                FormatByteSize(d.Format)};
    }
    case ResourceDimension::Buffer:
        break;
    }
    return {static_cast<Buffer*>(resource)->GetDesc().ByteWidth, 1, 1, 1};
}

// A staging twin of one level of `resource`, made from its native description.
HRESULT createStaging(ID3D11Device& device, Resource* resource, ID3D11Resource* native, uint32_t level,
                      ComPtr<ID3D11Resource>* staging) {
    const LevelShape shape = levelShape(resource, level);
    switch (resource->GetDimension()) {
    case ResourceDimension::Buffer: {
        D3D11_BUFFER_DESC d;
        static_cast<ID3D11Buffer*>(native)->GetDesc(&d);
        d = {d.ByteWidth, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
        ComPtr<ID3D11Buffer> buffer;
        const HRESULT r = device.CreateBuffer(&d, nullptr, &buffer);
        *staging = buffer;
        return r;
    }
    case ResourceDimension::Texture1D: {
        D3D11_TEXTURE1D_DESC d;
        static_cast<ID3D11Texture1D*>(native)->GetDesc(&d);
        d = {shape.width, 1, 1, d.Format, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0};
        ComPtr<ID3D11Texture1D> texture;
        const HRESULT r = device.CreateTexture1D(&d, nullptr, &texture);
        *staging = texture;
        return r;
    }
    case ResourceDimension::Texture2D: {
        D3D11_TEXTURE2D_DESC d;
        static_cast<ID3D11Texture2D*>(native)->GetDesc(&d);
        d = {shape.width, shape.height,          1, 1, d.Format, {1, 0}, D3D11_USAGE_STAGING,
             0,           D3D11_CPU_ACCESS_READ, 0};
        ComPtr<ID3D11Texture2D> texture;
        const HRESULT r = device.CreateTexture2D(&d, nullptr, &texture);
        *staging = texture;
        return r;
    }
    case ResourceDimension::Texture3D: {
        D3D11_TEXTURE3D_DESC d;
        static_cast<ID3D11Texture3D*>(native)->GetDesc(&d);
        d = {shape.width,
             shape.height,
             shape.depth,
             1,
             d.Format,
             D3D11_USAGE_STAGING,
             0,
             D3D11_CPU_ACCESS_READ,
             0};
        ComPtr<ID3D11Texture3D> texture;
        const HRESULT r = device.CreateTexture3D(&d, nullptr, &texture);
        *staging = texture;
        return r;
    }
    }
    return E_INVALIDARG;
}

} // namespace

void ContextImpl::setResources(const char* call, StageResources& stage, uint32_t start, uint32_t count,
                               ShaderResourceView* const* views) {
    if (!core_->pass(CheckSlots(start, count, COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT), call)) return;
    // Bound when a draw or dispatch runs.
    for (uint32_t i = 0; i < count; ++i)
        stage[start + i] = Ref<ShaderResourceView>::share(views ? views[i] : nullptr);
}

void ContextImpl::bindTargets() {
    RenderTargetView* views[SIMULTANEOUS_RENDER_TARGET_COUNT];
    for (uint32_t i = 0; i < targetCount_; ++i) views[i] = targets_[i].get();
    const auto list = natives<RenderTargetViewImpl, ID3D11RenderTargetView>(targetCount_, views);
    core_->context->OMSetRenderTargets(targetCount_, list.data(),
                                       NativeObject<DepthStencilViewImpl>(depthTarget_.get()));
    core_->context->RSSetViewports(UINT(viewports_.size()), viewports_.data());
    drawOutputsBound_ = true;
}

void ContextImpl::bindComputeOutputs() {
    UnorderedAccessView* outputs[UAV_SLOT_COUNT];
    for (uint32_t i = 0; i < UAV_SLOT_COUNT; ++i) outputs[i] = computeOutputs_[i].get();
    const auto list = natives<UnorderedAccessViewImpl, ID3D11UnorderedAccessView>(UAV_SLOT_COUNT, outputs);
    core_->context->CSSetUnorderedAccessViews(0, UAV_SLOT_COUNT, list.data(), nullptr);
    computeOutputsBound_ = true;
}

void ContextImpl::rebindForDraw() {
    if (computeOutputsBound_) {
        ID3D11UnorderedAccessView* none[UAV_SLOT_COUNT] = {};
        core_->context->CSSetUnorderedAccessViews(0, UAV_SLOT_COUNT, none, nullptr);
        computeOutputsBound_ = false;
    }
    if (!drawOutputsBound_) bindTargets();
    for (auto [stage, set] : {std::pair{&vertexResources_, &ID3D11DeviceContext::VSSetShaderResources},
                              std::pair{&pixelResources_, &ID3D11DeviceContext::PSSetShaderResources}}) {
        ShaderResourceView* views[COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT];
        for (uint32_t i = 0; i < COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT; ++i) views[i] = (*stage)[i].get();
        const auto list = natives<ShaderResourceViewImpl, ID3D11ShaderResourceView>(
            COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT, views);
        (core_->context.Get()->*set)(0, COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT, list.data());
    }
}

void ContextImpl::rebindForDispatch() {
    if (drawOutputsBound_) {
        core_->context->OMSetRenderTargets(0, nullptr, nullptr);
        drawOutputsBound_ = false;
    }
    bindComputeOutputs();
    ShaderResourceView* views[COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT];
    for (uint32_t i = 0; i < COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT; ++i)
        views[i] = computeResources_[i].get();
    const auto list = natives<ShaderResourceViewImpl, ID3D11ShaderResourceView>(
        COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT, views);
    core_->context->CSSetShaderResources(0, COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT, list.data());
}

void ContextImpl::setConstantBuffers(const char* call, SetBuffers set, uint32_t start, uint32_t count,
                                     Buffer* const* buffers) {
    if (!core_->pass(CheckSlots(start, count, COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT), call)) return;
    const auto list = natives<BufferImpl, ID3D11Buffer>(count, buffers);
    (core_->context.Get()->*set)(start, count, list.data());
}

void ContextImpl::setSamplers(const char* call, SetSamplers set, uint32_t start, uint32_t count,
                              SamplerState* const* samplers) {
    if (!core_->pass(CheckSlots(start, count, COMMONSHADER_SAMPLER_SLOT_COUNT), call)) return;
    const auto list = natives<SamplerStateImpl, ID3D11SamplerState>(count, samplers);
    (core_->context.Get()->*set)(start, count, list.data());
}

void ContextImpl::VSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setResources("VSSetShaderResources", vertexResources_, start, count, views);
}
void ContextImpl::PSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setResources("PSSetShaderResources", pixelResources_, start, count, views);
}
void ContextImpl::CSSetShaderResources(uint32_t start, uint32_t count, ShaderResourceView* const* views) {
    setResources("CSSetShaderResources", computeResources_, start, count, views);
}

void ContextImpl::CSSetUnorderedAccessViews(uint32_t start, uint32_t count, UnorderedAccessView* const* views,
                                            const uint32_t*) {
    if (!core_->pass(CheckSlots(start, count, UAV_SLOT_COUNT), "CSSetUnorderedAccessViews")) return;
    for (uint32_t i = 0; i < count; ++i)
        computeOutputs_[start + i] = Ref<UnorderedAccessView>::share(views ? views[i] : nullptr);
    // Bound when a dispatch runs.
}

void ContextImpl::VSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setConstantBuffers("VSSetConstantBuffers", &ID3D11DeviceContext::VSSetConstantBuffers, start, count,
                       buffers);
}
void ContextImpl::PSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setConstantBuffers("PSSetConstantBuffers", &ID3D11DeviceContext::PSSetConstantBuffers, start, count,
                       buffers);
}
void ContextImpl::CSSetConstantBuffers(uint32_t start, uint32_t count, Buffer* const* buffers) {
    setConstantBuffers("CSSetConstantBuffers", &ID3D11DeviceContext::CSSetConstantBuffers, start, count,
                       buffers);
}

void ContextImpl::VSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSamplers("VSSetSamplers", &ID3D11DeviceContext::VSSetSamplers, start, count, samplers);
}
void ContextImpl::PSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSamplers("PSSetSamplers", &ID3D11DeviceContext::PSSetSamplers, start, count, samplers);
}
void ContextImpl::CSSetSamplers(uint32_t start, uint32_t count, SamplerState* const* samplers) {
    setSamplers("CSSetSamplers", &ID3D11DeviceContext::CSSetSamplers, start, count, samplers);
}

void ContextImpl::VSSetShader(VertexShader* shader) {
    vertexShader_ = shader != nullptr;
    core_->context->VSSetShader(NativeObject<VertexShaderImpl>(shader), nullptr, 0);
}

void ContextImpl::PSSetShader(PixelShader* shader) {
    core_->context->PSSetShader(NativeObject<PixelShaderImpl>(shader), nullptr, 0);
}

void ContextImpl::CSSetShader(ComputeShader* shader) {
    computeShader_ = shader != nullptr;
    core_->context->CSSetShader(NativeObject<ComputeShaderImpl>(shader), nullptr, 0);
}

void ContextImpl::IASetPrimitiveTopology(PrimitiveTopology topology) {
    if (!core_->pass(CheckTopology(topology), "IASetPrimitiveTopology")) return;
    topology_ = topology;
    core_->context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY(uint32_t(topology)));
}

void ContextImpl::IASetIndexBuffer(Buffer* buffer, Format format, uint32_t offset) {
    if (!core_->pass(CheckIndexBuffer(buffer, format, offset), "IASetIndexBuffer")) return;
    indexBuffer_ = Ref<Buffer>::share(buffer);
    indexOffset_ = offset;
    core_->context->IASetIndexBuffer(nativeBuffer(buffer), DXGI_FORMAT_R32_UINT, offset);
}

void ContextImpl::RSSetState(RasterizerState* state) {
    core_->context->RSSetState(NativeObject<RasterizerStateImpl>(state));
}

void ContextImpl::RSSetViewports(uint32_t count, const Viewport* viewports) {
    viewport_ = count && viewports ? viewports[0] : Viewport{};
    viewports_.resize(viewports ? count : 0);
    for (size_t i = 0; i < viewports_.size(); ++i) {
        const Viewport& v = viewports[i];
        viewports_[i] = {v.TopLeftX, v.TopLeftY, v.Width, v.Height, v.MinDepth, v.MaxDepth};
    }
    core_->context->RSSetViewports(UINT(viewports_.size()), viewports_.data());
}

void ContextImpl::OMSetBlendState(BlendState* state, const float blendFactor[4], uint32_t sampleMask) {
    core_->context->OMSetBlendState(NativeObject<BlendStateImpl>(state), blendFactor, sampleMask);
}

void ContextImpl::OMSetRenderTargets(uint32_t count, RenderTargetView* const* views,
                                     DepthStencilView* depth) {
    if (!core_->pass(CheckRenderTargets(count), "OMSetRenderTargets")) return;
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i)
        targets_[i] = Ref<RenderTargetView>::share(views && i < count ? views[i] : nullptr);
    targetCount_ = count;
    depthTarget_ = Ref<DepthStencilView>::share(depth);
    target_ =
        depth != nullptr || std::any_of(targets_, targets_ + count, [](const auto& v) { return bool(v); });
    bindTargets();
}

void ContextImpl::ClearRenderTargetView(RenderTargetView* view, const float color[4]) {
    if (!core_->pass(CheckClearRenderTarget(view, color), "ClearRenderTargetView")) return;
    core_->context->ClearRenderTargetView(NativeObject<RenderTargetViewImpl>(view), color);
}

void ContextImpl::ClearDepthStencilView(DepthStencilView* view, uint32_t flags, float depth,
                                        uint8_t stencil) {
    if (!core_->pass(CheckClearDepthStencil(view, flags), "ClearDepthStencilView")) return;
    core_->context->ClearDepthStencilView(NativeObject<DepthStencilViewImpl>(view), flags, depth, stencil);
}

void ContextImpl::UpdateSubresource(Resource* resource, uint32_t subresource, const Box* box,
                                    const void* data, uint32_t rowPitch, uint32_t depthPitch) {
    if (!core_->pass(CheckUpdateSubresource(resource, subresource, box, data), "UpdateSubresource")) return;
    const LevelShape shape = levelShape(resource, subresource);
    // A whole constant buffer rounded up past its size is written through a zero-padded copy, since the
    // device reads all of its bytes.
    std::vector<uint8_t> padded;
    if (!box && resource->GetDimension() == ResourceDimension::Buffer) {
        const BufferDesc desc = static_cast<Buffer*>(resource)->GetDesc();
        if (NativeByteWidth(desc) != desc.ByteWidth) {
            padded.assign(NativeByteWidth(desc), 0);
            std::memcpy(padded.data(), data, desc.ByteWidth);
            data = padded.data();
        }
    }
    const uint32_t width = box ? box->right - box->left : shape.width;
    const uint32_t height = box ? box->bottom - box->top : shape.height;
    if (!rowPitch) rowPitch = width * shape.texelBytes;
    if (!depthPitch) depthPitch = rowPitch * height;
    const D3D11_BOX* nativeBox = reinterpret_cast<const D3D11_BOX*>(box);
    static_assert(sizeof(Box) == sizeof(D3D11_BOX));
    core_->context->UpdateSubresource(NativeOf(resource), subresource, nativeBox, data, rowPitch, depthPitch);
}

DrawBindings ContextImpl::drawBindings() const {
    return {vertexShader_, topology_, viewport_, target_};
}

void ContextImpl::Draw(uint32_t vertexCount, uint32_t startVertex) {
    if (!core_->pass(CheckDraw(drawBindings()), "Draw")) return;
    rebindForDraw();
    core_->context->Draw(vertexCount, startVertex);
}

void ContextImpl::DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                                uint32_t startInstance) {
    if (!core_->pass(CheckDraw(drawBindings()), "DrawInstanced")) return;
    rebindForDraw();
    core_->context->DrawInstanced(vertexCount, instanceCount, startVertex, startInstance);
}

void ContextImpl::DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex,
                                       int32_t baseVertex, uint32_t startInstance) {
    if (!core_->pass(
            CheckDrawIndexed(drawBindings(), indexBuffer_.get(), indexOffset_, startIndex, indexCount),
            "DrawIndexedInstanced"))
        return;
    rebindForDraw();
    core_->context->DrawIndexedInstanced(indexCount, instanceCount, startIndex, baseVertex, startInstance);
}

void ContextImpl::DrawIndexedInstancedIndirect(Buffer* arguments, uint32_t offset) {
    if (!core_->pass(CheckDrawIndexedIndirect(drawBindings(), indexBuffer_.get(), arguments, offset),
                     "DrawIndexedInstancedIndirect"))
        return;
    rebindForDraw();
    core_->context->DrawIndexedInstancedIndirect(nativeBuffer(arguments), offset);
}

void ContextImpl::Dispatch(uint32_t x, uint32_t y, uint32_t z) {
    if (!core_->pass(CheckDispatch(computeShader_, x, y, z), "Dispatch")) return;
    rebindForDispatch();
    core_->context->Dispatch(x, y, z);
}

void ContextImpl::GenerateMips(ShaderResourceView* view) {
    if (!core_->pass(CheckGenerateMips(view), "GenerateMips")) return;
    core_->context->GenerateMips(NativeObject<ShaderResourceViewImpl>(view));
}

void ContextImpl::Begin(Query* query) {
    if (!core_->pass(CheckQuery(query), "Begin")) return;
    // A timestamp has no beginning.
    if (query->GetDesc().Query != QueryType::TIMESTAMP) core_->context->Begin(NativeObject<QueryImpl>(query));
}

void ContextImpl::End(Query* query) {
    if (!core_->pass(CheckQuery(query), "End")) return;
    core_->context->End(NativeObject<QueryImpl>(query));
    static_cast<QueryImpl*>(query)->ended = true;
}

QueryStatus ContextImpl::GetData(Query* query, void* data, uint32_t size, uint32_t flags) {
    if (!core_->pass(CheckGetData(query, data, size), "GetData")) return QueryStatus::UNAVAILABLE;
    auto* impl = static_cast<QueryImpl*>(query);
    if (!impl->ended || FAILED(core_->device->GetDeviceRemovedReason())) return QueryStatus::UNAVAILABLE;
    const UINT nativeFlags = flags & ASYNC_GETDATA_DONOTFLUSH ? D3D11_ASYNC_GETDATA_DONOTFLUSH : 0;
    D3D11_QUERY_DATA_TIMESTAMP_DISJOINT disjoint{};
    uint64_t ticks = 0;
    const bool isDisjoint = query->GetDesc().Query == QueryType::TIMESTAMP_DISJOINT;
    void* target = isDisjoint ? static_cast<void*>(&disjoint) : static_cast<void*>(&ticks);
    const UINT targetSize = isDisjoint ? sizeof disjoint : sizeof ticks;
    const HRESULT result = core_->context->GetData(impl->native(), target, targetSize, nativeFlags);
    if (result == S_FALSE) return QueryStatus::NOT_READY;
    if (FAILED(result)) return QueryStatus::UNAVAILABLE;
    if (isDisjoint) {
        const QueryDataTimestampDisjoint answer{disjoint.Frequency, disjoint.Disjoint != FALSE};
        std::memcpy(data, &answer, sizeof answer);
    } else {
        std::memcpy(data, &ticks, sizeof ticks);
    }
    return QueryStatus::OK;
}

void ContextImpl::Flush() {
    core_->context->Flush();
    core_->passOnMessages();
}

bool ContextImpl::mapCopy(Resource* resource, uint32_t subresource, ComPtr<ID3D11Resource>* staging,
                          D3D11_MAPPED_SUBRESOURCE* mapped) {
    ID3D11Resource* native = NativeOf(resource);
    if (!core_->succeeded(createStaging(*core_->device.Get(), resource, native, subresource, staging),
                          "the read-back copy"))
        return false;
    core_->context->CopySubresourceRegion(staging->Get(), 0, 0, 0, 0, native, subresource, nullptr);
    core_->passOnMessages();
    return core_->succeeded(core_->context->Map(staging->Get(), 0, D3D11_MAP_READ, 0, mapped), "Map");
}

bool ContextImpl::ReadBack(Resource* resource, uint32_t subresource, void* destination,
                           size_t destinationSize, uint32_t rowPitch) {
    if (!core_->pass(CheckReadBack(resource, subresource, destination, destinationSize, rowPitch),
                     "ReadBack") ||
        !core_->hasImage(NativeOf(resource)))
        return false;
    ComPtr<ID3D11Resource> staging;
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (!mapCopy(resource, subresource, &staging, &mapped)) return false;
    const LevelShape shape = levelShape(resource, subresource);
    const size_t rowBytes = size_t(shape.width) * shape.texelBytes;
    if (!rowPitch) rowPitch = uint32_t(rowBytes);
    auto* out = static_cast<uint8_t*>(destination);
    const auto* in = static_cast<const uint8_t*>(mapped.pData);
    if (resource->GetDimension() == ResourceDimension::Buffer) {
        std::memcpy(out, in, rowBytes);
    } else {
        for (uint32_t z = 0; z < shape.depth; ++z)
            for (uint32_t y = 0; y < shape.height; ++y)
                std::memcpy(out + (size_t(z) * shape.height + y) * rowPitch,
                            in + size_t(z) * mapped.DepthPitch + size_t(y) * mapped.RowPitch, rowBytes);
    }
    core_->context->Unmap(staging.Get(), 0);
    return true;
}

} // namespace gpu::d3d11
