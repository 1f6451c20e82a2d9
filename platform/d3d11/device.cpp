#include "platform/d3d11/device.h"

#include "platform/d3d11/context.h"
#include "platform/d3d11/device_impl.h"
#include "platform/d3d11/swap_chain.h"
#include "platform/device_choice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace gpu::d3d11 {

namespace {

DXGI_FORMAT dxgiFormat(Format format) {
    return DXGI_FORMAT(uint32_t(format));
}

// A depth texture that shaders also read is made typeless, so that both views can be made of it.
DXGI_FORMAT textureFormat(Format format, uint32_t bindFlags) {
    if (!(bindFlags & BIND_SHADER_RESOURCE)) return dxgiFormat(format);
    if (format == Format::D32_FLOAT) return DXGI_FORMAT_R32_TYPELESS;
    if (format == Format::D24_UNORM_S8_UINT) return DXGI_FORMAT_R24G8_TYPELESS;
    return dxgiFormat(format);
}

// How shaders read a depth format.
DXGI_FORMAT sampledFormat(Format format) {
    if (format == Format::D32_FLOAT) return DXGI_FORMAT_R32_FLOAT;
    if (format == Format::D24_UNORM_S8_UINT) return DXGI_FORMAT_R24_UNORM_X8_TYPELESS;
    return dxgiFormat(format);
}

// Mip generation draws into the levels, so such a texture is a render target and a shader resource too.
uint32_t textureBindFlags(uint32_t bindFlags, uint32_t miscFlags) {
    if (miscFlags & RESOURCE_MISC_GENERATE_MIPS) bindFlags |= BIND_RENDER_TARGET | BIND_SHADER_RESOURCE;
    return bindFlags;
}

// The initial contents of every level, with the pitches a level of this size has when none are given.
std::vector<D3D11_SUBRESOURCE_DATA> levelData(const SubresourceData* initialData, uint32_t levels,
                                              uint32_t width, uint32_t height, Format format) {
    std::vector<D3D11_SUBRESOURCE_DATA> data(initialData ? levels : 0);
    for (uint32_t level = 0; level < data.size(); ++level) {
        const SubresourceData& given = initialData[level];
        const uint32_t rowBytes = std::max(width >> level, 1u) * FormatByteSize(format);
        const uint32_t pitch = given.SysMemPitch ? given.SysMemPitch : rowBytes;
        const uint32_t slicePitch =
            given.SysMemSlicePitch ? given.SysMemSlicePitch : pitch * std::max(height >> level, 1u);
        data[level] = {given.pSysMem, pitch, slicePitch};
    }
    return data;
}

// Creates a texture with its initial levels. Direct3D takes initial data for every level or for none, so
// levels left out (a chain that GenerateMips fills later) are written one by one after creation.
template <class NativeDesc, class Native>
HRESULT createWithLevels(DeviceCore& core, const NativeDesc& desc,
                         const std::vector<D3D11_SUBRESOURCE_DATA>& data, Native** texture) {
    const bool whole =
        !data.empty() && std::all_of(data.begin(), data.end(), [](const auto& d) { return d.pSysMem; });
    HRESULT result;
    if constexpr (std::is_same_v<Native, ID3D11Texture1D>)
        result = core.device->CreateTexture1D(&desc, whole ? data.data() : nullptr, texture);
    else if constexpr (std::is_same_v<Native, ID3D11Texture2D>)
        result = core.device->CreateTexture2D(&desc, whole ? data.data() : nullptr, texture);
    else
        result = core.device->CreateTexture3D(&desc, whole ? data.data() : nullptr, texture);
    if (FAILED(result) || whole) return result;
    for (UINT level = 0; level < data.size(); ++level)
        if (data[level].pSysMem)
            core.context->UpdateSubresource(*texture, level, nullptr, data[level].pSysMem,
                                            data[level].SysMemPitch, data[level].SysMemSlicePitch);
    return result;
}

} // namespace

std::string ResultText(HRESULT result) {
    static constexpr std::pair<HRESULT, const char*> kNames[] = {
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_FAIL, "E_FAIL"},
        {DXGI_ERROR_UNSUPPORTED, "DXGI_ERROR_UNSUPPORTED"},
        {DXGI_ERROR_DEVICE_REMOVED, "DXGI_ERROR_DEVICE_REMOVED"},
        {DXGI_ERROR_DEVICE_RESET, "DXGI_ERROR_DEVICE_RESET"},
        {DXGI_ERROR_INVALID_CALL, "DXGI_ERROR_INVALID_CALL"},
        {DXGI_ERROR_NOT_FOUND, "DXGI_ERROR_NOT_FOUND"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
    for (const auto& [code, name] : kNames)
        if (code == result) return std::string(name) + " (" + hex + ")";
    return hex;
}

bool DeviceCore::succeeded(HRESULT result, const char* what) {
    if (SUCCEEDED(result)) return true;
    lastError = std::string(what) + " failed: " + ResultText(result);
    return false;
}

void DeviceCore::passOnMessages() {
    if (!messages) return;
    const UINT64 count = messages->GetNumStoredMessages();
    for (UINT64 i = 0; i < count && options.debugMessage; ++i) {
        SIZE_T length = 0;
        if (FAILED(messages->GetMessage(i, nullptr, &length)) || length == 0) continue;
        std::vector<uint8_t> storage(length);
        auto* message = reinterpret_cast<D3D11_MESSAGE*>(storage.data());
        if (FAILED(messages->GetMessage(i, message, &length))) continue;
        if (message->Severity <= D3D11_MESSAGE_SEVERITY_WARNING)
            options.debugMessage(options.debugMessageUser, message->pDescription);
    }
    messages->ClearStoredMessages();
}

bool DeviceCore::hasImage(ID3D11Resource* resource) {
    if (!resource || resource != windowBuffer || windowHasArea()) return true;
    lastError = "the window has no area to present to";
    return false;
}

void DeviceCore::waitIdle() {
    const D3D11_QUERY_DESC desc{D3D11_QUERY_EVENT, 0};
    ComPtr<ID3D11Query> done;
    if (FAILED(device->CreateQuery(&desc, &done))) return;
    context->End(done.Get());
    BOOL finished = FALSE;
    for (int waited = 0; waited < 2000; ++waited) {
        if (context->GetData(done.Get(), &finished, sizeof finished, 0) != S_FALSE) return;
        Sleep(1);
    }
}

std::string DeviceCore::levelText() const {
    const uint32_t level = uint32_t(featureLevel);
    return "feature level " + std::to_string(level >> 12) + "_" + std::to_string((level >> 8) & 0xF) +
           (warp ? ", WARP" : ", hardware");
}

ID3D11Resource* NativeOf(Resource* resource) {
    auto* native = dynamic_cast<NativeResource*>(resource);
    return native ? native->native() : nullptr;
}

uint32_t NativeByteWidth(const BufferDesc& desc) {
    if (!(desc.BindFlags & BIND_CONSTANT_BUFFER)) return desc.ByteWidth;
    return desc.ByteWidth > UINT32_MAX - 15 ? desc.ByteWidth : (desc.ByteWidth + 15) & ~15u;
}

template <class Interface, class Desc, class Native>
ResourceDimension ResourceImpl<Interface, Desc, Native>::GetDimension() const {
    if constexpr (std::is_same_v<Desc, BufferDesc>) return ResourceDimension::Buffer;
    if constexpr (std::is_same_v<Desc, Texture1DDesc>) return ResourceDimension::Texture1D;
    if constexpr (std::is_same_v<Desc, Texture2DDesc>) return ResourceDimension::Texture2D;
    return ResourceDimension::Texture3D;
}
template class ResourceImpl<Buffer, BufferDesc, ID3D11Buffer>;
template class ResourceImpl<Texture1D, Texture1DDesc, ID3D11Texture1D>;
template class ResourceImpl<Texture2D, Texture2DDesc, ID3D11Texture2D>;
template class ResourceImpl<Texture3D, Texture3DDesc, ID3D11Texture3D>;

DeviceImpl::DeviceImpl(CorePtr core) : core_(std::move(core)) {
    context_ = Ref<ContextImpl>::adopt(new ContextImpl(core_));
}

DeviceImpl::~DeviceImpl() = default;

Ref<DeviceContext> DeviceImpl::GetImmediateContext() {
    return Ref<DeviceContext>::share(context_.get());
}

Ref<Buffer> DeviceImpl::CreateBuffer(const BufferDesc& desc, const SubresourceData* initialData) {
    if (!core_->pass(CheckBufferDesc(desc), "CreateBuffer")) return nullptr;
    const bool structured = desc.MiscFlags & RESOURCE_MISC_BUFFER_STRUCTURED;
    D3D11_BUFFER_DESC native{};
    native.ByteWidth = NativeByteWidth(desc);
    native.Usage = D3D11_USAGE_DEFAULT;
    native.BindFlags = desc.BindFlags;
    native.MiscFlags = desc.MiscFlags;
    native.StructureByteStride = structured ? desc.StructureByteStride : 0;
    // Bytes the caller does not hold (a buffer rounded up past its data) start as zero.
    std::vector<uint8_t> padded;
    D3D11_SUBRESOURCE_DATA data{};
    if (initialData && initialData->pSysMem) {
        const uint32_t held =
            std::min(initialData->SysMemPitch ? initialData->SysMemPitch : desc.ByteWidth, native.ByteWidth);
        data.pSysMem = initialData->pSysMem;
        if (held < native.ByteWidth) {
            padded.assign(native.ByteWidth, 0);
            std::memcpy(padded.data(), initialData->pSysMem, held);
            data.pSysMem = padded.data();
        }
    }
    ComPtr<ID3D11Buffer> buffer;
    if (!core_->succeeded(core_->device->CreateBuffer(&native, data.pSysMem ? &data : nullptr, &buffer),
                          "CreateBuffer"))
        return nullptr;
    return Ref<Buffer>::adopt(new BufferImpl(desc, std::move(buffer)));
}

Ref<Texture1D> DeviceImpl::CreateTexture1D(const Texture1DDesc& desc, const SubresourceData* initialData) {
    if (!core_->pass(CheckTextureDesc(desc), "CreateTexture1D")) return nullptr;
    const uint32_t bind = textureBindFlags(desc.BindFlags, desc.MiscFlags);
    D3D11_TEXTURE1D_DESC native{desc.Width,          desc.MipLevels, 1, textureFormat(desc.Format, bind),
                                D3D11_USAGE_DEFAULT, bind,           0, desc.MiscFlags};
    const uint32_t levels = MipLevelCount(desc.Width, 1, 1, desc.MipLevels);
    ComPtr<ID3D11Texture1D> texture;
    if (!core_->succeeded(createWithLevels(*core_, native,
                                           levelData(initialData, levels, desc.Width, 1, desc.Format),
                                           texture.GetAddressOf()),
                          "CreateTexture1D"))
        return nullptr;
    Texture1DDesc made = desc;
    made.MipLevels = levels;
    return Ref<Texture1D>::adopt(new Texture1DImpl(made, std::move(texture)));
}

Ref<Texture2D> DeviceImpl::CreateTexture2D(const Texture2DDesc& desc, const SubresourceData* initialData) {
    if (!core_->pass(CheckTextureDesc(desc), "CreateTexture2D")) return nullptr;
    const uint32_t bind = textureBindFlags(desc.BindFlags, desc.MiscFlags);
    D3D11_TEXTURE2D_DESC native{};
    native.Width = desc.Width;
    native.Height = desc.Height;
    native.MipLevels = desc.MipLevels;
    native.ArraySize = 1;
    native.Format = textureFormat(desc.Format, bind);
    native.SampleDesc.Count = 1;
    native.Usage = D3D11_USAGE_DEFAULT;
    native.BindFlags = bind;
    native.MiscFlags = desc.MiscFlags;
    const uint32_t levels = MipLevelCount(desc.Width, desc.Height, 1, desc.MipLevels);
    ComPtr<ID3D11Texture2D> texture;
    if (!core_->succeeded(
            createWithLevels(*core_, native,
                             levelData(initialData, levels, desc.Width, desc.Height, desc.Format),
                             texture.GetAddressOf()),
            "CreateTexture2D"))
        return nullptr;
    Texture2DDesc made = desc;
    made.MipLevels = levels;
    return Ref<Texture2D>::adopt(new Texture2DImpl(made, std::move(texture)));
}

Ref<Texture3D> DeviceImpl::CreateTexture3D(const Texture3DDesc& desc, const SubresourceData* initialData) {
    if (!core_->pass(CheckTextureDesc(desc), "CreateTexture3D")) return nullptr;
    const uint32_t bind = textureBindFlags(desc.BindFlags, desc.MiscFlags);
    D3D11_TEXTURE3D_DESC native{
        desc.Width,          desc.Height, desc.Depth, desc.MipLevels, textureFormat(desc.Format, bind),
        D3D11_USAGE_DEFAULT, bind,        0,          desc.MiscFlags};
    const uint32_t levels = MipLevelCount(desc.Width, desc.Height, desc.Depth, desc.MipLevels);
    ComPtr<ID3D11Texture3D> texture;
    if (!core_->succeeded(
            createWithLevels(*core_, native,
                             levelData(initialData, levels, desc.Width, desc.Height, desc.Format),
                             texture.GetAddressOf()),
            "CreateTexture3D"))
        return nullptr;
    Texture3DDesc made = desc;
    made.MipLevels = levels;
    return Ref<Texture3D>::adopt(new Texture3DImpl(made, std::move(texture)));
}

namespace {

// The first element and element count of a buffer view, from the byte range its check resolved.
std::pair<uint32_t, uint32_t> bufferElements(Resource* resource, const ResolvedView& view) {
    const uint32_t size = view.format != Format::UNKNOWN
                              ? FormatByteSize(view.format)
                              : static_cast<Buffer*>(resource)->GetDesc().StructureByteStride;
    return {uint32_t(view.elements.offset / size), uint32_t(view.elements.size / size)};
}

} // namespace

Ref<ShaderResourceView> DeviceImpl::CreateShaderResourceView(Resource* resource,
                                                             const ShaderResourceViewDesc* desc) {
    ResolvedView view;
    if (!core_->pass(CheckShaderResourceView(resource, desc, &view), "CreateShaderResourceView"))
        return nullptr;
    D3D11_SHADER_RESOURCE_VIEW_DESC native{};
    native.Format = sampledFormat(view.format);
    switch (view.dimension) {
    case ViewDimension::Buffer: {
        native.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
        const auto [first, count] = bufferElements(resource, view);
        native.Buffer.FirstElement = first;
        native.Buffer.NumElements = count;
        break;
    }
    case ViewDimension::Texture1D:
        native.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE1D;
        native.Texture1D = {view.firstMip, view.mipCount};
        break;
    case ViewDimension::Texture2D:
        native.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        native.Texture2D = {view.firstMip, view.mipCount};
        break;
    case ViewDimension::Texture3D:
        native.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE3D;
        native.Texture3D = {view.firstMip, view.mipCount};
        break;
    }
    ComPtr<ID3D11ShaderResourceView> created;
    if (!core_->succeeded(core_->device->CreateShaderResourceView(NativeOf(resource), &native, &created),
                          "CreateShaderResourceView"))
        return nullptr;
    return Ref<ShaderResourceView>::adopt(
        new ShaderResourceViewImpl(Ref<Resource>::share(resource), std::move(created)));
}

Ref<UnorderedAccessView> DeviceImpl::CreateUnorderedAccessView(Resource* resource,
                                                               const UnorderedAccessViewDesc* desc) {
    ResolvedView view;
    if (!core_->pass(CheckUnorderedAccessView(resource, desc, &view), "CreateUnorderedAccessView"))
        return nullptr;
    D3D11_UNORDERED_ACCESS_VIEW_DESC native{};
    native.Format = dxgiFormat(view.format);
    switch (view.dimension) {
    case ViewDimension::Buffer: {
        native.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
        const auto [first, count] = bufferElements(resource, view);
        native.Buffer.FirstElement = first;
        native.Buffer.NumElements = count;
        break;
    }
    case ViewDimension::Texture1D:
        native.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE1D;
        native.Texture1D.MipSlice = view.firstMip;
        break;
    case ViewDimension::Texture2D:
        native.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2D;
        native.Texture2D.MipSlice = view.firstMip;
        break;
    case ViewDimension::Texture3D:
        native.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE3D;
        native.Texture3D = {view.firstMip, 0, UINT(-1)};
        break;
    }
    ComPtr<ID3D11UnorderedAccessView> created;
    if (!core_->succeeded(core_->device->CreateUnorderedAccessView(NativeOf(resource), &native, &created),
                          "CreateUnorderedAccessView"))
        return nullptr;
    return Ref<UnorderedAccessView>::adopt(
        new UnorderedAccessViewImpl(Ref<Resource>::share(resource), std::move(created)));
}

Ref<RenderTargetView> DeviceImpl::CreateRenderTargetView(Resource* resource,
                                                         const RenderTargetViewDesc* desc) {
    ResolvedView view;
    if (!core_->pass(CheckRenderTargetView(resource, desc, &view), "CreateRenderTargetView") ||
        !core_->hasImage(NativeOf(resource)))
        return nullptr;
    D3D11_RENDER_TARGET_VIEW_DESC native{};
    native.Format = dxgiFormat(view.format);
    native.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    native.Texture2D.MipSlice = view.firstMip;
    ComPtr<ID3D11RenderTargetView> created;
    if (!core_->succeeded(core_->device->CreateRenderTargetView(NativeOf(resource), &native, &created),
                          "CreateRenderTargetView"))
        return nullptr;
    return Ref<RenderTargetView>::adopt(
        new RenderTargetViewImpl(Ref<Resource>::share(resource), std::move(created)));
}

Ref<DepthStencilView> DeviceImpl::CreateDepthStencilView(Resource* resource,
                                                         const DepthStencilViewDesc* desc) {
    ResolvedView view;
    if (!core_->pass(CheckDepthStencilView(resource, desc, &view), "CreateDepthStencilView")) return nullptr;
    D3D11_DEPTH_STENCIL_VIEW_DESC native{};
    native.Format = dxgiFormat(view.format);
    native.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    native.Texture2D.MipSlice = view.firstMip;
    ComPtr<ID3D11DepthStencilView> created;
    if (!core_->succeeded(core_->device->CreateDepthStencilView(NativeOf(resource), &native, &created),
                          "CreateDepthStencilView"))
        return nullptr;
    return Ref<DepthStencilView>::adopt(
        new DepthStencilViewImpl(Ref<Resource>::share(resource), std::move(created)));
}

Ref<SamplerState> DeviceImpl::CreateSamplerState(const SamplerDesc& desc) {
    if (!core_->pass(CheckSamplerDesc(desc), "CreateSamplerState")) return nullptr;
    D3D11_SAMPLER_DESC native{};
    native.Filter = D3D11_FILTER(uint32_t(desc.Filter));
    native.AddressU = D3D11_TEXTURE_ADDRESS_MODE(uint32_t(desc.AddressU));
    native.AddressV = D3D11_TEXTURE_ADDRESS_MODE(uint32_t(desc.AddressV));
    native.AddressW = D3D11_TEXTURE_ADDRESS_MODE(uint32_t(desc.AddressW));
    native.MipLODBias = desc.MipLODBias;
    native.MaxAnisotropy = desc.MaxAnisotropy;
    native.ComparisonFunc = D3D11_COMPARISON_FUNC(uint32_t(desc.ComparisonFunc));
    // Every backend shows the same border: the nearest of the three colours Vulkan offers.
    std::copy_n(desc.BorderColor, 4, native.BorderColor);
    SnapBorderColor(native.BorderColor);
    native.MinLOD = desc.MinLOD;
    native.MaxLOD = desc.MaxLOD;
    ComPtr<ID3D11SamplerState> created;
    if (!core_->succeeded(core_->device->CreateSamplerState(&native, &created), "CreateSamplerState"))
        return nullptr;
    return Ref<SamplerState>::adopt(new SamplerStateImpl(std::move(created)));
}

Ref<RasterizerState> DeviceImpl::CreateRasterizerState(const RasterizerDesc& desc) {
    if (!core_->pass(CheckRasterizerDesc(desc), "CreateRasterizerState")) return nullptr;
    const D3D11_RASTERIZER_DESC native{D3D11_FILL_MODE(uint32_t(desc.FillMode)),
                                       D3D11_CULL_MODE(uint32_t(desc.CullMode)),
                                       desc.FrontCounterClockwise,
                                       desc.DepthBias,
                                       desc.DepthBiasClamp,
                                       desc.SlopeScaledDepthBias,
                                       desc.DepthClipEnable,
                                       desc.ScissorEnable,
                                       desc.MultisampleEnable,
                                       desc.AntialiasedLineEnable};
    ComPtr<ID3D11RasterizerState> created;
    if (!core_->succeeded(core_->device->CreateRasterizerState(&native, &created), "CreateRasterizerState"))
        return nullptr;
    return Ref<RasterizerState>::adopt(new RasterizerStateImpl(std::move(created)));
}

Ref<BlendState> DeviceImpl::CreateBlendState(const BlendDesc& desc) {
    if (!core_->pass(CheckBlendDesc(desc), "CreateBlendState")) return nullptr;
    D3D11_BLEND_DESC native{};
    native.AlphaToCoverageEnable = desc.AlphaToCoverageEnable;
    native.IndependentBlendEnable = desc.IndependentBlendEnable;
    for (uint32_t i = 0; i < SIMULTANEOUS_RENDER_TARGET_COUNT; ++i) {
        const RenderTargetBlendDesc& t = desc.RenderTarget[i];
        native.RenderTarget[i] = {t.BlendEnable,
                                  D3D11_BLEND(uint32_t(t.SrcBlend)),
                                  D3D11_BLEND(uint32_t(t.DestBlend)),
                                  D3D11_BLEND_OP(uint32_t(t.BlendOp)),
                                  D3D11_BLEND(uint32_t(t.SrcBlendAlpha)),
                                  D3D11_BLEND(uint32_t(t.DestBlendAlpha)),
                                  D3D11_BLEND_OP(uint32_t(t.BlendOpAlpha)),
                                  t.RenderTargetWriteMask};
    }
    ComPtr<ID3D11BlendState> created;
    if (!core_->succeeded(core_->device->CreateBlendState(&native, &created), "CreateBlendState"))
        return nullptr;
    return Ref<BlendState>::adopt(new BlendStateImpl(std::move(created)));
}

template <class Impl, class Native>
Ref<Impl> DeviceImpl::createShader(const char* call, const void* bytecode, size_t size, ShaderStage stage,
                                   CreateNative<Native> create) {
    ShaderBytecodeView parsed;
    if (!core_->pass(CheckShaderBytecode(bytecode, size, stage, &parsed), call)) return nullptr;
    if (!parsed.dxbc) {
        core_->lastError = "the program holds no DXBC for Direct3D 11";
        return nullptr;
    }
    ComPtr<Native> created;
    if (!core_->succeeded(
            (core_->device.Get()->*create)(parsed.dxbc, parsed.dxbcByteCount, nullptr, &created), call))
        return nullptr;
    return Ref<Impl>::adopt(new Impl(std::move(created)));
}

Ref<VertexShader> DeviceImpl::CreateVertexShader(const void* bytecode, size_t size) {
    return createShader<VertexShaderImpl>("CreateVertexShader", bytecode, size, ShaderStage::Vertex,
                                          &ID3D11Device::CreateVertexShader);
}

Ref<PixelShader> DeviceImpl::CreatePixelShader(const void* bytecode, size_t size) {
    return createShader<PixelShaderImpl>("CreatePixelShader", bytecode, size, ShaderStage::Pixel,
                                         &ID3D11Device::CreatePixelShader);
}

Ref<ComputeShader> DeviceImpl::CreateComputeShader(const void* bytecode, size_t size) {
    return createShader<ComputeShaderImpl>("CreateComputeShader", bytecode, size, ShaderStage::Compute,
                                           &ID3D11Device::CreateComputeShader);
}

Ref<Query> DeviceImpl::CreateQuery(const QueryDesc& desc) {
    if (!core_->pass(CheckQueryDesc(desc), "CreateQuery")) return nullptr;
    const D3D11_QUERY_DESC native{D3D11_QUERY(uint32_t(desc.Query)), 0};
    ComPtr<ID3D11Query> created;
    if (!core_->succeeded(core_->device->CreateQuery(&native, &created), "CreateQuery")) return nullptr;
    return Ref<Query>::adopt(new QueryImpl(desc, std::move(created)));
}

Ref<SwapChain> DeviceImpl::CreateSwapChainForWindow(const window::NativeWindow& window,
                                                    const SwapChainDesc& desc) {
    if (!core_->pass(CheckSwapChainDesc(desc), "CreateSwapChainForWindow")) return nullptr;
    if (core_->options.window.system == window::WindowSystem::None) {
        core_->lastError = "the device was created without a window to present to";
        return nullptr;
    }
    if (window.system != window::WindowSystem::Win32 || !window.window) {
        core_->lastError = "Direct3D 11 presents to Win32 windows only";
        return nullptr;
    }
    return CreateSwapChain(context_, HWND(window.window), desc);
}

} // namespace gpu::d3d11
