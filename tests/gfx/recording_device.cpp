#include "tests/gfx/recording_device.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace recording {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof(text), pattern, args);
    va_end(args);
    return text;
}

template <class T> std::string list(uint32_t n, T* const* objects) {
    std::string text = "[";
    for (uint32_t i = 0; i < n; ++i) {
        if (i) text += ',';
        text += labelOf(objects ? objects[i] : nullptr);
    }
    text += ']';
    return text;
}

unsigned u(auto value) {
    return unsigned(value);
}

template <class Interface> class Plain final : public Interface, public Labelled {};

class BufferObject final : public gpu::Buffer, public Labelled {
  public:
    gpu::BufferDesc desc;
    std::vector<uint8_t> contents;
    gpu::ResourceDimension GetDimension() const override { return gpu::ResourceDimension::Buffer; }
    gpu::BufferDesc GetDesc() const override { return desc; }
};

template <class Interface, class Desc, gpu::ResourceDimension dimension>
class TextureObject final : public Interface, public Labelled {
  public:
    Desc desc;
    gpu::ResourceDimension GetDimension() const override { return dimension; }
    Desc GetDesc() const override { return desc; }
};
using Texture1DObject = TextureObject<gpu::Texture1D, gpu::Texture1DDesc, gpu::ResourceDimension::Texture1D>;
using Texture2DObject = TextureObject<gpu::Texture2D, gpu::Texture2DDesc, gpu::ResourceDimension::Texture2D>;
using Texture3DObject = TextureObject<gpu::Texture3D, gpu::Texture3DDesc, gpu::ResourceDimension::Texture3D>;

template <class Interface> class ViewObject final : public Interface, public Labelled {
  public:
    gpu::Ref<gpu::Resource> resource;
    gpu::Ref<gpu::Resource> GetResource() const override {
        return gpu::Ref<gpu::Resource>::share(resource.get());
    }
};

class QueryObject final : public gpu::Query, public Labelled {
  public:
    gpu::QueryDesc desc;
    bool ended = false;
    uint64_t ticks = 0;   // the clock at the latest End
    uint64_t flushes = 0; // the context's flush count at the latest End
    gpu::QueryDesc GetDesc() const override { return desc; }
};

const char* dimensionName(gpu::ViewDimension dimension) {
    switch (dimension) {
    case gpu::ViewDimension::Buffer:
        return "buffer";
    case gpu::ViewDimension::Texture1D:
        return "1D";
    case gpu::ViewDimension::Texture2D:
        return "2D";
    case gpu::ViewDimension::Texture3D:
        return "3D";
    }
    return "?";
}

// Every creation: the call's check first; when it passes, `make` builds the object (or gives null) and the
// object gets its label. The call is logged with its result either way.
template <class Interface, class Make, class Line>
gpu::Ref<Interface> create(Device& device, gpu::Check check, const char* kind, const Make& make,
                           const Line& call) {
    gpu::Ref<Interface> result;
    if (device.checks.pass(check)) {
        if (auto* object = make()) {
            device.adopt(object, *object, kind);
            result = gpu::Ref<Interface>::adopt(object);
        }
    }
    device.record([&] { return call() + " -> " + labelOf(result.get()); });
    return result;
}

template <class Interface>
gpu::Ref<Interface> makeView(Device& device, gpu::Resource* resource, gpu::Check check, const char* kind,
                             const std::string& call) {
    const auto make = [&] {
        auto* view = new ViewObject<Interface>;
        view->resource = gpu::Ref<gpu::Resource>::share(resource);
        return view;
    };
    return create<Interface>(device, check, kind, make, [&] { return call; });
}

template <class Interface>
gpu::Ref<Interface> makeShader(Device& device, const void* bytecode, size_t size, gpu::ShaderStage stage,
                               const char* kind, const char* call) {
    return create<Interface>(
        device, gpu::CheckShaderBytecode(bytecode, size, stage), kind, [] { return new Plain<Interface>; },
        [&] { return format("%s %llu bytes", call, static_cast<unsigned long long>(size)); });
}

template <class Object, class Interface, class Desc, class Line>
gpu::Ref<Interface> makeTexture(Device& device, const Desc& desc, const Line& call) {
    const auto make = [&] {
        auto* texture = new Object;
        texture->desc = desc;
        return texture;
    };
    return create<Interface>(device, gpu::CheckTextureDesc(desc), "texture", make, call);
}

// Logs a call that binds objects to slots, and checks the slots.
template <class T>
void bindSlots(Device& device, const char* call, uint32_t start, uint32_t n, T* const* objects,
               uint32_t slots) {
    device.record([&] { return format("%s %u %s", call, start, list(n, objects).c_str()); });
    device.checks.pass(gpu::CheckSlots(start, n, slots));
}

} // namespace

std::string labelOf(const gpu::Object* object) {
    if (!object) return "null";
    const auto* labelled = dynamic_cast<const Labelled*>(object);
    return labelled ? labelled->label : "foreign";
}

const std::vector<uint8_t>& bufferContents(const gpu::Resource* resource) {
    static const std::vector<uint8_t> kNone;
    const auto* buffer = dynamic_cast<const BufferObject*>(resource);
    return buffer ? buffer->contents : kNone;
}

std::vector<uint32_t> fakeShaderBytecode(gpu::ShaderStage stage) {
    gpu::ShaderBytecodeHeader header;
    header.stage = stage;
    header.spirvWordCount = 1;
    std::vector<uint32_t> words(sizeof(header) / 4 + 1, 0);
    std::memcpy(words.data(), &header, sizeof(header));
    words.back() = 0x07230203; // the SPIR-V magic number
    return words;
}

// ---------------------------------------------------------------------------------------------

Device::Device() : context_(gpu::Ref<gpu::DeviceContext>::adopt(new Context(*this))) {}

void Device::adopt(gpu::Object* object, Labelled& labelled, const char* kind) {
    // Labels exist for the log; without it they would only cost time.
    if (recording) labelled.label = kind + std::to_string(++counters_[kind]);
    if (keepObjects) kept_.push_back(gpu::Ref<gpu::Object>::share(object));
}

gpu::Ref<gpu::Buffer> Device::CreateBuffer(const gpu::BufferDesc& desc, const gpu::SubresourceData* initial) {
    const auto make = [&] {
        auto* buffer = new BufferObject;
        buffer->desc = desc;
        buffer->contents.assign(desc.ByteWidth, 0);
        // A device reads ByteWidth bytes of initial data; so does the double, for the sanitizers to see.
        if (initial && initial->pSysMem)
            std::memcpy(buffer->contents.data(), initial->pSysMem, desc.ByteWidth);
        return buffer;
    };
    return create<gpu::Buffer>(*this, gpu::CheckBufferDesc(desc), "buffer", make, [&] {
        return format("CreateBuffer bytes=%u bind=0x%x misc=0x%x stride=%u data=%s", desc.ByteWidth,
                      desc.BindFlags, desc.MiscFlags, desc.StructureByteStride, initial ? "yes" : "no");
    });
}

gpu::Ref<gpu::Texture1D> Device::CreateTexture1D(const gpu::Texture1DDesc& d, const gpu::SubresourceData*) {
    return makeTexture<Texture1DObject, gpu::Texture1D>(*this, d, [&] {
        return format("CreateTexture1D %u mips=%u format=%u bind=0x%x misc=0x%x", d.Width, d.MipLevels,
                      u(d.Format), d.BindFlags, d.MiscFlags);
    });
}

gpu::Ref<gpu::Texture2D> Device::CreateTexture2D(const gpu::Texture2DDesc& d, const gpu::SubresourceData*) {
    return makeTexture<Texture2DObject, gpu::Texture2D>(*this, d, [&] {
        return format("CreateTexture2D %ux%u mips=%u format=%u bind=0x%x misc=0x%x", d.Width, d.Height,
                      d.MipLevels, u(d.Format), d.BindFlags, d.MiscFlags);
    });
}

gpu::Ref<gpu::Texture3D> Device::CreateTexture3D(const gpu::Texture3DDesc& d, const gpu::SubresourceData*) {
    return makeTexture<Texture3DObject, gpu::Texture3D>(*this, d, [&] {
        return format("CreateTexture3D %ux%ux%u mips=%u format=%u bind=0x%x misc=0x%x", d.Width, d.Height,
                      d.Depth, d.MipLevels, u(d.Format), d.BindFlags, d.MiscFlags);
    });
}

gpu::Ref<gpu::ShaderResourceView> Device::CreateShaderResourceView(gpu::Resource* resource,
                                                                   const gpu::ShaderResourceViewDesc* d) {
    std::string call = "CreateShaderResourceView " + labelOf(resource);
    if (!d)
        call += " desc=null";
    else if (d->ViewDimension == gpu::ViewDimension::Buffer)
        call += format(" format=%u dim=buffer elements=%u+%u", u(d->Format), d->FirstElement, d->NumElements);
    else
        call += format(" format=%u dim=%s mip=%u levels=%u", u(d->Format), dimensionName(d->ViewDimension),
                       d->MostDetailedMip, d->MipLevels);
    return makeView<gpu::ShaderResourceView>(*this, resource, gpu::CheckShaderResourceView(resource, d),
                                             "srv", call);
}

gpu::Ref<gpu::UnorderedAccessView> Device::CreateUnorderedAccessView(gpu::Resource* resource,
                                                                     const gpu::UnorderedAccessViewDesc* d) {
    std::string call = "CreateUnorderedAccessView " + labelOf(resource);
    if (!d)
        call += " desc=null";
    else if (d->ViewDimension == gpu::ViewDimension::Buffer)
        call += format(" format=%u dim=buffer elements=%u+%u", u(d->Format), d->FirstElement, d->NumElements);
    else if (d->ViewDimension == gpu::ViewDimension::Texture3D)
        call += format(" format=%u dim=3D mip=%u slices=%u+%u", u(d->Format), d->MipSlice, d->FirstWSlice,
                       d->WSize);
    else
        call +=
            format(" format=%u dim=%s mip=%u", u(d->Format), dimensionName(d->ViewDimension), d->MipSlice);
    return makeView<gpu::UnorderedAccessView>(*this, resource, gpu::CheckUnorderedAccessView(resource, d),
                                              "uav", call);
}

gpu::Ref<gpu::RenderTargetView> Device::CreateRenderTargetView(gpu::Resource* resource,
                                                               const gpu::RenderTargetViewDesc* d) {
    const std::string call = "CreateRenderTargetView " + labelOf(resource) +
                             (d ? format(" format=%u mip=%u", u(d->Format), d->MipSlice) : " desc=null");
    return makeView<gpu::RenderTargetView>(*this, resource, gpu::CheckRenderTargetView(resource, d), "rtv",
                                           call);
}

gpu::Ref<gpu::DepthStencilView> Device::CreateDepthStencilView(gpu::Resource* resource,
                                                               const gpu::DepthStencilViewDesc* d) {
    const std::string call = "CreateDepthStencilView " + labelOf(resource) +
                             (d ? format(" format=%u mip=%u", u(d->Format), d->MipSlice) : " desc=null");
    return makeView<gpu::DepthStencilView>(*this, resource, gpu::CheckDepthStencilView(resource, d), "dsv",
                                           call);
}

gpu::Ref<gpu::SamplerState> Device::CreateSamplerState(const gpu::SamplerDesc& d) {
    return create<gpu::SamplerState>(
        *this, gpu::CheckSamplerDesc(d), "sampler", [] { return new Plain<gpu::SamplerState>; },
        [&] {
            return format("CreateSamplerState filter=0x%x address=%u,%u,%u bias=%g aniso=%u compare=%u "
                          "border=%g,%g,%g,%g "
                          "lod=%g,%g",
                          u(d.Filter), u(d.AddressU), u(d.AddressV), u(d.AddressW), d.MipLODBias,
                          d.MaxAnisotropy, u(d.ComparisonFunc), d.BorderColor[0], d.BorderColor[1],
                          d.BorderColor[2], d.BorderColor[3], d.MinLOD, d.MaxLOD);
        });
}

gpu::Ref<gpu::RasterizerState> Device::CreateRasterizerState(const gpu::RasterizerDesc& d) {
    return create<gpu::RasterizerState>(
        *this, gpu::CheckRasterizerDesc(d), "rasterizer", [] { return new Plain<gpu::RasterizerState>; },
        [&] {
            return format("CreateRasterizerState fill=%u cull=%u ccw=%d bias=%d,%g,%g clip=%d scissor=%d "
                          "msaa=%d aaline=%d",
                          u(d.FillMode), u(d.CullMode), d.FrontCounterClockwise, d.DepthBias,
                          d.DepthBiasClamp, d.SlopeScaledDepthBias, d.DepthClipEnable, d.ScissorEnable,
                          d.MultisampleEnable, d.AntialiasedLineEnable);
        });
}

gpu::Ref<gpu::BlendState> Device::CreateBlendState(const gpu::BlendDesc& d) {
    const gpu::RenderTargetBlendDesc& t = d.RenderTarget[0];
    return create<gpu::BlendState>(
        *this, gpu::CheckBlendDesc(d), "blend", [] { return new Plain<gpu::BlendState>; },
        [&] {
            return format("CreateBlendState a2c=%d independent=%d enable=%d src=%u dest=%u op=%u srcAlpha=%u "
                          "destAlpha=%u "
                          "opAlpha=%u mask=0x%x",
                          d.AlphaToCoverageEnable, d.IndependentBlendEnable, t.BlendEnable, u(t.SrcBlend),
                          u(t.DestBlend), u(t.BlendOp), u(t.SrcBlendAlpha), u(t.DestBlendAlpha),
                          u(t.BlendOpAlpha), u(t.RenderTargetWriteMask));
        });
}

gpu::Ref<gpu::VertexShader> Device::CreateVertexShader(const void* bytecode, size_t size) {
    return makeShader<gpu::VertexShader>(*this, bytecode, size, gpu::ShaderStage::Vertex, "vs",
                                         "CreateVertexShader");
}

gpu::Ref<gpu::PixelShader> Device::CreatePixelShader(const void* bytecode, size_t size) {
    return makeShader<gpu::PixelShader>(*this, bytecode, size, gpu::ShaderStage::Pixel, "ps",
                                        "CreatePixelShader");
}

gpu::Ref<gpu::ComputeShader> Device::CreateComputeShader(const void* bytecode, size_t size) {
    return makeShader<gpu::ComputeShader>(*this, bytecode, size, gpu::ShaderStage::Compute, "cs",
                                          "CreateComputeShader");
}

gpu::Ref<gpu::Query> Device::CreateQuery(const gpu::QueryDesc& desc) {
    const auto make = [&]() -> QueryObject* {
        if (!clock) return nullptr;
        auto* query = new QueryObject;
        query->desc = desc;
        return query;
    };
    return create<gpu::Query>(*this, gpu::CheckQueryDesc(desc), "query", make,
                              [&] { return format("CreateQuery %u", u(desc.Query)); });
}

gpu::Ref<gpu::SwapChain> Device::CreateSwapChainForWindow(const window::NativeWindow&,
                                                          const gpu::SwapChainDesc& desc) {
    checks.pass(gpu::CheckSwapChainDesc(desc));
    record([] { return std::string("CreateSwapChainForWindow -> null"); });
    return nullptr;
}

// ---------------------------------------------------------------------------------------------

// Each call hands the double a function that writes its line, so that nothing is formatted while the log
// is off.
#define LOG(...) device_.record([&] { return format(__VA_ARGS__); })
// Logs the call, then runs its check: a call that fails it changes nothing.
#define LOG_CHECKED(check, ...) (LOG(__VA_ARGS__), device_.checks.pass(check))

void Context::VSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) {
    bindSlots(device_, "VSSetShaderResources", start, n, views, gpu::COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT);
}
void Context::PSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) {
    bindSlots(device_, "PSSetShaderResources", start, n, views, gpu::COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT);
}
void Context::CSSetShaderResources(uint32_t start, uint32_t n, gpu::ShaderResourceView* const* views) {
    bindSlots(device_, "CSSetShaderResources", start, n, views, gpu::COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT);
}
void Context::CSSetUnorderedAccessViews(uint32_t start, uint32_t n, gpu::UnorderedAccessView* const* views,
                                        const uint32_t* initialCounts) {
    LOG_CHECKED(gpu::CheckSlots(start, n, gpu::UAV_SLOT_COUNT), "CSSetUnorderedAccessViews %u %s counts=%s",
                start, list(n, views).c_str(), initialCounts ? "given" : "null");
}
void Context::VSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) {
    bindSlots(device_, "VSSetConstantBuffers", start, n, buffers,
              gpu::COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT);
}
void Context::PSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) {
    bindSlots(device_, "PSSetConstantBuffers", start, n, buffers,
              gpu::COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT);
}
void Context::CSSetConstantBuffers(uint32_t start, uint32_t n, gpu::Buffer* const* buffers) {
    bindSlots(device_, "CSSetConstantBuffers", start, n, buffers,
              gpu::COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT);
}
void Context::VSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) {
    bindSlots(device_, "VSSetSamplers", start, n, samplers, gpu::COMMONSHADER_SAMPLER_SLOT_COUNT);
}
void Context::PSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) {
    bindSlots(device_, "PSSetSamplers", start, n, samplers, gpu::COMMONSHADER_SAMPLER_SLOT_COUNT);
}
void Context::CSSetSamplers(uint32_t start, uint32_t n, gpu::SamplerState* const* samplers) {
    bindSlots(device_, "CSSetSamplers", start, n, samplers, gpu::COMMONSHADER_SAMPLER_SLOT_COUNT);
}
void Context::VSSetShader(gpu::VertexShader* shader) {
    LOG("VSSetShader %s", labelOf(shader).c_str());
    bound_.vertexShader = shader != nullptr;
}
void Context::PSSetShader(gpu::PixelShader* shader) {
    LOG("PSSetShader %s", labelOf(shader).c_str());
}
void Context::CSSetShader(gpu::ComputeShader* shader) {
    LOG("CSSetShader %s", labelOf(shader).c_str());
    computeShader_ = shader != nullptr;
}
void Context::IASetPrimitiveTopology(gpu::PrimitiveTopology topology) {
    if (LOG_CHECKED(gpu::CheckTopology(topology), "IASetPrimitiveTopology %u", u(topology)))
        bound_.topology = topology;
}
void Context::IASetIndexBuffer(gpu::Buffer* buffer, gpu::Format indexFormat, uint32_t offset) {
    if (LOG_CHECKED(gpu::CheckIndexBuffer(buffer, indexFormat, offset), "IASetIndexBuffer %s %u %u",
                    labelOf(buffer).c_str(), u(indexFormat), offset)) {
        indexBuffer_ = gpu::Ref<gpu::Buffer>::share(buffer);
        indexOffset_ = offset;
    }
}
void Context::RSSetState(gpu::RasterizerState* state) {
    LOG("RSSetState %s", labelOf(state).c_str());
}
void Context::RSSetViewports(uint32_t n, const gpu::Viewport* v) {
    device_.record([&] {
        std::string line = "RSSetViewports";
        for (uint32_t i = 0; i < n; ++i)
            line += format(" [%g,%g,%g,%g,%g,%g]", v[i].TopLeftX, v[i].TopLeftY, v[i].Width, v[i].Height,
                           v[i].MinDepth, v[i].MaxDepth);
        return line;
    });
    bound_.viewport = n && v ? v[0] : gpu::Viewport{};
}
void Context::OMSetBlendState(gpu::BlendState* state, const float factor[4], uint32_t sampleMask) {
    LOG("OMSetBlendState %s factor=%s mask=0x%x", labelOf(state).c_str(), factor ? "given" : "null",
        sampleMask);
}
void Context::OMSetRenderTargets(uint32_t n, gpu::RenderTargetView* const* views,
                                 gpu::DepthStencilView* dsv) {
    if (!LOG_CHECKED(gpu::CheckRenderTargets(n), "OMSetRenderTargets %s depth=%s", list(n, views).c_str(),
                     labelOf(dsv).c_str()))
        return;
    bound_.target = dsv != nullptr;
    for (uint32_t i = 0; i < n && views; ++i) bound_.target = bound_.target || views[i];
}
void Context::ClearRenderTargetView(gpu::RenderTargetView* view, const float c[4]) {
    if (!device_.checks.pass(gpu::CheckClearRenderTarget(view, c))) return;
    LOG("ClearRenderTargetView %s %g,%g,%g,%g", labelOf(view).c_str(), c[0], c[1], c[2], c[3]);
}
void Context::ClearDepthStencilView(gpu::DepthStencilView* view, uint32_t flags, float depth,
                                    uint8_t stencil) {
    LOG_CHECKED(gpu::CheckClearDepthStencil(view, flags),
                "ClearDepthStencilView %s flags=%u depth=%g stencil=%u", labelOf(view).c_str(), flags, depth,
                stencil);
}
void Context::UpdateSubresource(gpu::Resource* resource, uint32_t subresource, const gpu::Box* box,
                                const void* data, uint32_t rowPitch, uint32_t depthPitch) {
    const std::string boxText =
        box ? format("%u,%u,%u-%u,%u,%u", box->left, box->top, box->front, box->right, box->bottom, box->back)
            : "null";
    if (!LOG_CHECKED(gpu::CheckUpdateSubresource(resource, subresource, box, data),
                     "UpdateSubresource %s %u box=%s pitch=%u,%u", labelOf(resource).c_str(), subresource,
                     boxText.c_str(), rowPitch, depthPitch))
        return;
    // A whole-buffer update replaces the contents, reading ByteWidth bytes as a device would.
    if (auto* buffer = dynamic_cast<BufferObject*>(resource); buffer && !box)
        std::memcpy(buffer->contents.data(), data, buffer->contents.size());
}
void Context::Draw(uint32_t vertexCount, uint32_t startVertex) {
    if (LOG_CHECKED(gpu::CheckDraw(bound_), "Draw %u %u", vertexCount, startVertex))
        device_.ticks += vertexCount;
}
void Context::DrawInstanced(uint32_t vertexCount, uint32_t instanceCount, uint32_t startVertex,
                            uint32_t startInstance) {
    if (LOG_CHECKED(gpu::CheckDraw(bound_), "DrawInstanced %u %u %u %u", vertexCount, instanceCount,
                    startVertex, startInstance))
        device_.ticks += uint64_t(vertexCount) * instanceCount;
}
void Context::DrawIndexedInstanced(uint32_t indexCount, uint32_t instanceCount, uint32_t startIndex,
                                   int32_t baseVertex, uint32_t startInstance) {
    if (LOG_CHECKED(gpu::CheckDrawIndexed(bound_, indexBuffer_.get(), indexOffset_, startIndex, indexCount),
                    "DrawIndexedInstanced %u %u %u %d %u", indexCount, instanceCount, startIndex, baseVertex,
                    startInstance))
        device_.ticks += uint64_t(indexCount) * instanceCount;
}
void Context::DrawIndexedInstancedIndirect(gpu::Buffer* arguments, uint32_t offset) {
    if (!LOG_CHECKED(gpu::CheckDrawIndexedIndirect(bound_, indexBuffer_.get(), arguments, offset),
                     "DrawIndexedInstancedIndirect %s %u", labelOf(arguments).c_str(), offset))
        return;
    const std::vector<uint8_t>& bytes = bufferContents(arguments);
    uint32_t counts[2] = {};
    if (bytes.size() >= offset + sizeof(counts)) std::memcpy(counts, bytes.data() + offset, sizeof(counts));
    device_.ticks += uint64_t(counts[0]) * counts[1];
}
void Context::Dispatch(uint32_t x, uint32_t y, uint32_t z) {
    if (LOG_CHECKED(gpu::CheckDispatch(computeShader_, x, y, z), "Dispatch %u %u %u", x, y, z))
        device_.ticks += uint64_t(x) * y * z;
}
void Context::GenerateMips(gpu::ShaderResourceView* view) {
    LOG_CHECKED(gpu::CheckGenerateMips(view), "GenerateMips %s", labelOf(view).c_str());
}
void Context::Begin(gpu::Query* query) {
    LOG_CHECKED(gpu::CheckQuery(query), "Begin %s", labelOf(query).c_str());
}
void Context::End(gpu::Query* query) {
    if (!LOG_CHECKED(gpu::CheckQuery(query), "End %s", labelOf(query).c_str())) return;
    if (auto* q = dynamic_cast<QueryObject*>(query)) {
        q->ended = true;
        q->ticks = device_.ticks;
        q->flushes = flushes_;
    }
}
gpu::QueryStatus Context::GetData(gpu::Query* query, void* data, uint32_t size, uint32_t flags) {
    auto* q = dynamic_cast<QueryObject*>(query);
    if (!LOG_CHECKED(gpu::CheckGetData(query, data, size), "GetData %s flags=%u", labelOf(query).c_str(),
                     flags) ||
        !q || !q->ended)
        return gpu::QueryStatus::UNAVAILABLE;
    const bool timestamp = q->desc.Query == gpu::QueryType::TIMESTAMP;
    if (!(flags & gpu::ASYNC_GETDATA_DONOTFLUSH)) ++flushes_;
    if (flushes_ == q->flushes) return gpu::QueryStatus::NOT_READY;
    if (timestamp) {
        std::memcpy(data, &q->ticks, sizeof(q->ticks));
    } else {
        const gpu::QueryDataTimestampDisjoint result{Device::kTicksPerSecond, device_.disjoint};
        std::memcpy(data, &result, sizeof(result));
    }
    return gpu::QueryStatus::OK;
}
void Context::Flush() {
    LOG("Flush");
    ++flushes_;
}
bool Context::ReadBack(gpu::Resource* resource, uint32_t subresource, void* destination,
                       size_t destinationSize, uint32_t rowPitch) {
    if (!LOG_CHECKED(gpu::CheckReadBack(resource, subresource, destination, destinationSize, rowPitch),
                     "ReadBack %s", labelOf(resource).c_str()))
        return false;
    ++flushes_; // a read-back waits for all work
    const auto* buffer = dynamic_cast<const BufferObject*>(resource);
    if (!buffer) return false;
    std::memcpy(destination, buffer->contents.data(), buffer->contents.size());
    return true;
}

#undef LOG_CHECKED
#undef LOG

} // namespace recording
