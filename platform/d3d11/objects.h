// The interface's objects on Direct3D 11: each holds its native object and what GetDesc answers.
#pragma once

#include "platform/d3d11/core.h"

namespace gpu::d3d11 {

// What the context needs of any resource of ours.
class NativeResource {
  public:
    virtual ID3D11Resource* native() const = 0;

  protected:
    ~NativeResource() = default;
};

// The native resource behind one of ours; null for a resource of another device.
ID3D11Resource* NativeOf(Resource* resource);

template <class Interface, class Desc, class Native>
class ResourceImpl final : public Interface, public NativeResource {
  public:
    ResourceImpl(const Desc& desc, ComPtr<Native> native) : desc_(desc), native_(std::move(native)) {}
    Desc GetDesc() const override { return desc_; }
    ResourceDimension GetDimension() const override;
    ID3D11Resource* native() const override { return native_.Get(); }
    Native* typed() const { return native_.Get(); }

  private:
    Desc desc_;
    ComPtr<Native> native_;
};

using BufferImpl = ResourceImpl<Buffer, BufferDesc, ID3D11Buffer>;
using Texture1DImpl = ResourceImpl<Texture1D, Texture1DDesc, ID3D11Texture1D>;
using Texture2DImpl = ResourceImpl<Texture2D, Texture2DDesc, ID3D11Texture2D>;
using Texture3DImpl = ResourceImpl<Texture3D, Texture3DDesc, ID3D11Texture3D>;

// The bytes a buffer has on the device: a constant buffer is rounded up to whole 16-byte registers.
uint32_t NativeByteWidth(const BufferDesc& desc);

// A view keeps its resource, as Direct3D's does.
template <class Interface, class Native> class ViewImpl final : public Interface {
  public:
    ViewImpl(Ref<Resource> resource, ComPtr<Native> native)
        : resource_(std::move(resource)), native_(std::move(native)) {}
    Ref<Resource> GetResource() const override { return resource_; }
    Native* native() const { return native_.Get(); }

  private:
    Ref<Resource> resource_;
    ComPtr<Native> native_;
};

using ShaderResourceViewImpl = ViewImpl<ShaderResourceView, ID3D11ShaderResourceView>;
using UnorderedAccessViewImpl = ViewImpl<UnorderedAccessView, ID3D11UnorderedAccessView>;
using RenderTargetViewImpl = ViewImpl<RenderTargetView, ID3D11RenderTargetView>;
using DepthStencilViewImpl = ViewImpl<DepthStencilView, ID3D11DepthStencilView>;

// States and shaders: the native object alone.
template <class Interface, class Native> class Wrapped final : public Interface {
  public:
    explicit Wrapped(ComPtr<Native> native) : native_(std::move(native)) {}
    Native* native() const { return native_.Get(); }

  private:
    ComPtr<Native> native_;
};

using SamplerStateImpl = Wrapped<SamplerState, ID3D11SamplerState>;
using RasterizerStateImpl = Wrapped<RasterizerState, ID3D11RasterizerState>;
using BlendStateImpl = Wrapped<BlendState, ID3D11BlendState>;
using VertexShaderImpl = Wrapped<VertexShader, ID3D11VertexShader>;
using PixelShaderImpl = Wrapped<PixelShader, ID3D11PixelShader>;
using ComputeShaderImpl = Wrapped<ComputeShader, ID3D11ComputeShader>;

class QueryImpl final : public Query {
  public:
    QueryImpl(const QueryDesc& desc, ComPtr<ID3D11Query> native) : desc_(desc), native_(std::move(native)) {}
    QueryDesc GetDesc() const override { return desc_; }
    ID3D11Query* native() const { return native_.Get(); }
    // A query answers only once it has been ended.
    bool ended = false;

  private:
    QueryDesc desc_;
    ComPtr<ID3D11Query> native_;
};

// The native object behind one of ours, or null for null.
template <class Impl, class Interface> auto NativeObject(Interface* object) {
    return object ? static_cast<Impl*>(object)->native() : nullptr;
}

} // namespace gpu::d3d11
