// The GPU as the engine sees it: a small Direct3D 11 shaped device and immediate context.
// The engine code follows Direct3D call sequences one to one; the backend (platform/vulkan/) owns
// pipelines, barriers, memory and presentation. No backend type appears here.
#pragma once

#include "platform/window.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace gpu {

// ---------------------------------------------------------------------------------------------
// Reference counting: AddRef/Release have their Direct3D meaning. The last Release destroys the
// object; GPU memory it owns is reclaimed once no submitted work uses it any more.

class Object {
  public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    uint32_t AddRef() { return ++references_; }
    uint32_t Release() {
        const uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~Object() = default;

  private:
    uint32_t references_ = 1;
};

// Holds one reference, like a COM smart pointer. Creation functions return their object in a Ref
// that owns the initial reference.
template <class T> class Ref {
  public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static Ref adopt(T* object) {
        Ref ref;
        ref.object_ = object;
        return ref;
    }
    // Adds a reference of its own.
    static Ref share(T* object) {
        if (object) object->AddRef();
        return adopt(object);
    }
    Ref(const Ref& other) : object_(other.object_) {
        if (object_) object_->AddRef();
    }
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <class U> Ref(Ref<U>&& other) noexcept : object_(other.detach()) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { reset(); }

    void reset() {
        if (T* object = std::exchange(object_, nullptr)) object->Release();
    }
    T* detach() { return std::exchange(object_, nullptr); }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    T* object_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Formats, flags and descriptions. Numeric values follow DXGI and Direct3D 11 so that tables
// written against those APIs keep their numbers.

enum class Format : uint32_t {
    UNKNOWN = 0,
    R32G32B32A32_FLOAT = 2,
    R16G16B16A16_FLOAT = 10,
    R8G8B8A8_UNORM = 28,
    D32_FLOAT = 40,
    R32_FLOAT = 41,
    R32_UINT = 42,
    R32_SINT = 43,
    D24_UNORM_S8_UINT = 45,
    R8_UINT = 62,
    B8G8R8A8_UNORM = 87,
};

// Bytes per texel or element; 0 for UNKNOWN.
uint32_t FormatByteSize(Format format);
bool IsDepthFormat(Format format);

enum BindFlag : uint32_t {
    BIND_INDEX_BUFFER = 0x2,
    BIND_CONSTANT_BUFFER = 0x4,
    BIND_SHADER_RESOURCE = 0x8,
    BIND_RENDER_TARGET = 0x20,
    BIND_DEPTH_STENCIL = 0x40,
    BIND_UNORDERED_ACCESS = 0x80,
};

enum ResourceMiscFlag : uint32_t {
    RESOURCE_MISC_GENERATE_MIPS = 0x1,
    RESOURCE_MISC_DRAWINDIRECT_ARGS = 0x10, // holds the arguments of indirect draws
    RESOURCE_MISC_BUFFER_STRUCTURED = 0x40,
};

// Every resource lives in device memory (Direct3D's default usage); the CPU writes through
// UpdateSubresource and reads through DeviceContext::ReadBack.
struct BufferDesc {
    uint32_t ByteWidth = 0;
    uint32_t BindFlags = 0;
    uint32_t MiscFlags = 0;
    uint32_t StructureByteStride = 0;
};

// MipLevels 0 asks for the full chain down to 1x1(x1).
struct Texture1DDesc {
    uint32_t Width = 0;
    uint32_t MipLevels = 1;
    gpu::Format Format = gpu::Format::UNKNOWN;
    uint32_t BindFlags = 0;
    uint32_t MiscFlags = 0;
};

struct Texture2DDesc {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t MipLevels = 1;
    gpu::Format Format = gpu::Format::UNKNOWN;
    uint32_t BindFlags = 0;
    uint32_t MiscFlags = 0;
};

struct Texture3DDesc {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t Depth = 0;
    uint32_t MipLevels = 1;
    gpu::Format Format = gpu::Format::UNKNOWN;
    uint32_t BindFlags = 0;
    uint32_t MiscFlags = 0;
};

// Initial contents: for a texture one entry per mip level (rows SysMemPitch apart); for a buffer
// one entry, where a nonzero SysMemPitch says how many bytes pSysMem holds. A buffer is often
// rounded up past its data (3 one-byte elements make a 16-byte buffer): the bytes beyond the
// data start as zero instead of being read from past its end. SysMemPitch 0 means ByteWidth.
struct SubresourceData {
    const void* pSysMem = nullptr;
    uint32_t SysMemPitch = 0;
    uint32_t SysMemSlicePitch = 0;
};

struct Box {
    uint32_t left = 0, top = 0, front = 0;
    uint32_t right = 0, bottom = 0, back = 0;
};

enum class ResourceDimension : uint32_t { Buffer, Texture1D, Texture2D, Texture3D };

// View descriptions. A null description when creating a view means "the whole resource in its
// own format" (structured buffers: all elements, raw element access).
enum class ViewDimension : uint32_t { Buffer, Texture1D, Texture2D, Texture3D };

struct ShaderResourceViewDesc {
    gpu::Format Format = gpu::Format::UNKNOWN;
    gpu::ViewDimension ViewDimension = gpu::ViewDimension::Texture2D;
    uint32_t MostDetailedMip = 0; // textures
    uint32_t MipLevels = ~0u;     // textures; ~0 = all levels from MostDetailedMip on
    uint32_t FirstElement = 0;    // buffers
    uint32_t NumElements = 0;     // buffers
};

struct UnorderedAccessViewDesc {
    gpu::Format Format = gpu::Format::UNKNOWN;
    gpu::ViewDimension ViewDimension = gpu::ViewDimension::Texture2D;
    uint32_t MipSlice = 0;     // textures
    uint32_t FirstWSlice = 0;  // 3D textures
    uint32_t WSize = ~0u;      // 3D textures; ~0 = all slices
    uint32_t FirstElement = 0; // buffers
    uint32_t NumElements = 0;  // buffers
};

struct RenderTargetViewDesc {
    gpu::Format Format = gpu::Format::UNKNOWN;
    uint32_t MipSlice = 0;
};

struct DepthStencilViewDesc {
    gpu::Format Format = gpu::Format::UNKNOWN;
    uint32_t MipSlice = 0;
};

enum class Filter : uint32_t {
    MIN_MAG_MIP_POINT = 0x00,
    MIN_MAG_MIP_LINEAR = 0x15,
};

enum class TextureAddressMode : uint32_t { WRAP = 1, MIRROR = 2, CLAMP = 3, BORDER = 4 };

enum class ComparisonFunc : uint32_t {
    NEVER = 1,
    LESS = 2,
    EQUAL = 3,
    LESS_EQUAL = 4,
    GREATER = 5,
    NOT_EQUAL = 6,
    GREATER_EQUAL = 7,
    ALWAYS = 8,
};

// The border colour is one of transparent black, opaque black or opaque white; other colours
// are taken as the nearest of these three.
struct SamplerDesc {
    gpu::Filter Filter = gpu::Filter::MIN_MAG_MIP_LINEAR;
    TextureAddressMode AddressU = TextureAddressMode::CLAMP;
    TextureAddressMode AddressV = TextureAddressMode::CLAMP;
    TextureAddressMode AddressW = TextureAddressMode::CLAMP;
    float MipLODBias = 0.0f;
    uint32_t MaxAnisotropy = 1;
    gpu::ComparisonFunc ComparisonFunc = gpu::ComparisonFunc::NEVER;
    float BorderColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float MinLOD = -3.402823466e38f;
    float MaxLOD = 3.402823466e38f;

    bool operator==(const SamplerDesc&) const = default;
};

// Moves a border colour to the nearest of the three every backend offers.
void SnapBorderColor(float c[4]);

enum class FillMode : uint32_t { WIREFRAME = 2, SOLID = 3 };
enum class CullMode : uint32_t { NONE = 1, FRONT = 2, BACK = 3 };

struct RasterizerDesc {
    gpu::FillMode FillMode = gpu::FillMode::SOLID;
    gpu::CullMode CullMode = gpu::CullMode::BACK;
    bool FrontCounterClockwise = false;
    int32_t DepthBias = 0;
    float DepthBiasClamp = 0.0f;
    float SlopeScaledDepthBias = 0.0f;
    bool DepthClipEnable = true;
    bool ScissorEnable = false;
    bool MultisampleEnable = false;
    bool AntialiasedLineEnable = false;

    bool operator==(const RasterizerDesc&) const = default;
};

enum class Blend : uint32_t {
    ZERO = 1,
    ONE = 2,
    SRC_COLOR = 3,
    INV_SRC_COLOR = 4,
    SRC_ALPHA = 5,
    INV_SRC_ALPHA = 6,
    DEST_ALPHA = 7,
    INV_DEST_ALPHA = 8,
    DEST_COLOR = 9,
    INV_DEST_COLOR = 10,
    BLEND_FACTOR = 14,
    INV_BLEND_FACTOR = 15,
};

enum class BlendOp : uint32_t { ADD = 1, SUBTRACT = 2, REV_SUBTRACT = 3, MIN = 4, MAX = 5 };

enum ColorWriteEnable : uint8_t {
    COLOR_WRITE_ENABLE_RED = 1,
    COLOR_WRITE_ENABLE_GREEN = 2,
    COLOR_WRITE_ENABLE_BLUE = 4,
    COLOR_WRITE_ENABLE_ALPHA = 8,
    COLOR_WRITE_ENABLE_ALL = 15,
};

struct RenderTargetBlendDesc {
    bool BlendEnable = false;
    gpu::Blend SrcBlend = gpu::Blend::ONE;
    gpu::Blend DestBlend = gpu::Blend::ZERO;
    gpu::BlendOp BlendOp = gpu::BlendOp::ADD;
    gpu::Blend SrcBlendAlpha = gpu::Blend::ONE;
    gpu::Blend DestBlendAlpha = gpu::Blend::ZERO;
    gpu::BlendOp BlendOpAlpha = gpu::BlendOp::ADD;
    uint8_t RenderTargetWriteMask = COLOR_WRITE_ENABLE_ALL;

    bool operator==(const RenderTargetBlendDesc&) const = default;
};

constexpr uint32_t SIMULTANEOUS_RENDER_TARGET_COUNT = 8;

struct BlendDesc {
    bool AlphaToCoverageEnable = false;
    bool IndependentBlendEnable = false; // false: RenderTarget[0] applies to every target
    RenderTargetBlendDesc RenderTarget[SIMULTANEOUS_RENDER_TARGET_COUNT];

    bool operator==(const BlendDesc&) const = default;
};

enum class PrimitiveTopology : uint32_t {
    UNDEFINED = 0,
    POINTLIST = 1,
    LINELIST = 2,
    LINESTRIP = 3,
    TRIANGLELIST = 4,
    TRIANGLESTRIP = 5,
};

struct Viewport {
    float TopLeftX = 0.0f;
    float TopLeftY = 0.0f;
    float Width = 0.0f;
    float Height = 0.0f;
    float MinDepth = 0.0f;
    float MaxDepth = 1.0f;
};

enum ClearFlag : uint32_t { CLEAR_DEPTH = 0x1, CLEAR_STENCIL = 0x2 };

// Slot counts of every stage.
constexpr uint32_t COMMONSHADER_SAMPLER_SLOT_COUNT = 16;
constexpr uint32_t COMMONSHADER_CONSTANT_BUFFER_SLOT_COUNT = 14;
constexpr uint32_t COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT = 16;
constexpr uint32_t UAV_SLOT_COUNT = 8;

// ---------------------------------------------------------------------------------------------
// Shader bytecode. The shader build packs every program as: ShaderBytecodeHeader, then
// bindingCount ShaderBinding records (the program's descriptor bindings, reflected at build
// time), then the SPIR-V words, then the program's DXBC container (dxbcByteCount bytes, padded with zeros
// to a multiple of 4; none when the program has no DXBC). Each backend takes its own part: Vulkan the
// bindings and the SPIR-V, Direct3D 11 the DXBC. The register mapping is the same for every program:
// s0-s15 -> bindings 0-15, b0-b15 -> bindings 0-15 (b8 is the shared context block),
// t0-t15 -> bindings 16-31, u0-u7 -> bindings 32-39.

constexpr uint32_t kShaderBytecodeMagic = 0x5650534d; // "MSPV"
constexpr uint32_t kTextureBindingBase = 16;
constexpr uint32_t kUavBindingBase = 32;

enum class ShaderStage : uint32_t { Vertex, Pixel, Compute };

// How the program declares a binding; it decides the descriptor the backend writes there.
enum class ShaderBindingKind : uint32_t {
    Sampler,            // SamplerState
    SampledTexture,     // Texture1D/2D/3D
    TexelBuffer,        // Buffer<T>
    StorageTexelBuffer, // RWBuffer<T>
    ConstantBuffer,     // cbuffer
    StorageBuffer,      // (RW)StructuredBuffer, (RW)ByteAddressBuffer
    StorageTexture,     // RWTexture1D/2D/3D
};

struct ShaderBytecodeHeader {
    uint32_t magic = kShaderBytecodeMagic;
    ShaderStage stage = ShaderStage::Vertex;
    uint32_t bindingCount = 0;
    uint32_t spirvWordCount = 0;
    uint32_t dxbcByteCount = 0;
};

struct ShaderBinding {
    uint32_t binding = 0;
    ShaderBindingKind kind = ShaderBindingKind::Sampler;
    // For (RW)Buffer<T>: the 32-bit format T stands for (R32_SINT, R32_UINT or R32_FLOAT), so
    // that a buffer viewed without a format still reads element i as value i. UNKNOWN otherwise.
    gpu::Format format = gpu::Format::UNKNOWN;
};

// A checked look into a bytecode blob; false when the blob is truncated or not one of ours.
struct ShaderBytecodeView {
    ShaderStage stage = ShaderStage::Vertex;
    const ShaderBinding* bindings = nullptr;
    uint32_t bindingCount = 0;
    const uint32_t* spirv = nullptr;
    uint32_t spirvWordCount = 0;
    const uint8_t* dxbc = nullptr; // null when the program has no DXBC
    uint32_t dxbcByteCount = 0;
};
bool ParseShaderBytecode(const void* bytecode, size_t size, ShaderBytecodeView* view);

// ---------------------------------------------------------------------------------------------
// Objects.

class Resource : public Object {
  public:
    virtual ResourceDimension GetDimension() const = 0;
};

class Buffer : public Resource {
  public:
    virtual BufferDesc GetDesc() const = 0;
};

class Texture1D : public Resource {
  public:
    virtual Texture1DDesc GetDesc() const = 0;
};

class Texture2D : public Resource {
  public:
    virtual Texture2DDesc GetDesc() const = 0;
};

class Texture3D : public Resource {
  public:
    virtual Texture3DDesc GetDesc() const = 0;
};

class View : public Object {
  public:
    // The viewed resource, with a reference added (Direct3D's GetResource).
    virtual Ref<Resource> GetResource() const = 0;
};

class ShaderResourceView : public View {};
class UnorderedAccessView : public View {};
class RenderTargetView : public View {};
class DepthStencilView : public View {};

// Queries, with Direct3D 11's numbers. A timestamp takes the GPU clock once all work before its End
// has run (Begin does nothing for it); a timestamp-disjoint query brackets timestamps with Begin and
// End and says how many clock ticks make a second, and whether the clock was steady in between.
enum class QueryType : uint32_t { TIMESTAMP = 2, TIMESTAMP_DISJOINT = 3 };

struct QueryDesc {
    QueryType Query = QueryType::TIMESTAMP;
    uint32_t MiscFlags = 0;
};

// What a disjoint query holds; a timestamp holds one uint64_t tick count.
struct QueryDataTimestampDisjoint {
    uint64_t Frequency = 0;
    bool Disjoint = false;
};

enum AsyncGetDataFlag : uint32_t { ASYNC_GETDATA_DONOTFLUSH = 0x1 };

// What GetData found: the result (written to the caller's memory), work still running, or a query
// that will never answer (never ended, a destination of the wrong size, a lost device).
enum class QueryStatus : uint32_t { OK, NOT_READY, UNAVAILABLE };

class Query : public Object {
  public:
    virtual QueryDesc GetDesc() const = 0;
};

class SamplerState : public Object {};
class RasterizerState : public Object {};
class BlendState : public Object {};
class VertexShader : public Object {};
class PixelShader : public Object {};
class ComputeShader : public Object {};

struct SwapChainDesc {
    uint32_t Width = 0;
    uint32_t Height = 0;
    // R8G8B8A8_UNORM or B8G8R8A8_UNORM; the other one is taken when the surface lacks it.
    gpu::Format Format = gpu::Format::R8G8B8A8_UNORM;
    uint32_t BufferCount = 2;
    // True presents in step with the display (FIFO); false takes MAILBOX where the surface offers it,
    // else IMMEDIATE, else FIFO.
    bool VSync = true;
};

// A window's presentable images. Buffer 0 always stands for the image being drawn this frame,
// as with a flip-discard swap chain.
class SwapChain : public Object {
  public:
    virtual SwapChainDesc GetDesc() const = 0;
    virtual Ref<Texture2D> GetBuffer(uint32_t index) = 0;
    // Submits the frame's work and shows buffer 0 in the mode the desc's VSync chose, whatever
    // SyncInterval says: in step with the display's refresh under FIFO (sync interval 1), at once under
    // MAILBOX or IMMEDIATE. Returns false with a message in the device's GetLastError() when the window
    // can no longer be shown. While the window has no area the work is submitted, nothing is shown and
    // the call succeeds, as a present to an occluded window does.
    virtual bool Present(uint32_t SyncInterval, uint32_t Flags) = 0;
    // False while the window has no area to present to (a minimised window): buffer 0 has no image
    // then, and drawing into it does nothing.
    virtual bool HasArea() = 0;
};

// The outcome of a check of the interface's rules: Passed, or the code of the rule broken. Its codes, and the
// checks themselves, are in platform/gpu_checks.h.
enum class Check : uint32_t;

class DeviceContext;

// The graphics API a device runs on.
enum class Renderer : uint32_t { Direct3D11, Vulkan };

// The renderer's name on the command line and in MIRELANDT_GPU: "d3d11" or "vulkan".
const char* RendererName(Renderer renderer);
// False when `name` is neither.
bool ParseRenderer(std::string_view name, Renderer* renderer);

// How a Direct3D 11 swap chain reaches the screen: a flip-model swap chain of the window (flip-discard), or
// a composition swap chain shown through a DirectComposition visual. Vulkan presents through its surface
// either way.
enum class PresentModel : uint32_t { Flip, Composition };

class Device : public Object {
  public:
    // Creation returns null when the description cannot be honoured; the reason is kept in
    // GetLastError().
    virtual Ref<Buffer> CreateBuffer(const BufferDesc& desc, const SubresourceData* initialData) = 0;
    virtual Ref<Texture1D> CreateTexture1D(const Texture1DDesc& desc, const SubresourceData* initialData) = 0;
    virtual Ref<Texture2D> CreateTexture2D(const Texture2DDesc& desc, const SubresourceData* initialData) = 0;
    virtual Ref<Texture3D> CreateTexture3D(const Texture3DDesc& desc, const SubresourceData* initialData) = 0;

    virtual Ref<ShaderResourceView> CreateShaderResourceView(Resource* resource,
                                                             const ShaderResourceViewDesc* desc) = 0;
    virtual Ref<UnorderedAccessView> CreateUnorderedAccessView(Resource* resource,
                                                               const UnorderedAccessViewDesc* desc) = 0;
    virtual Ref<RenderTargetView> CreateRenderTargetView(Resource* resource,
                                                         const RenderTargetViewDesc* desc) = 0;
    virtual Ref<DepthStencilView> CreateDepthStencilView(Resource* resource,
                                                         const DepthStencilViewDesc* desc) = 0;

    virtual Ref<SamplerState> CreateSamplerState(const SamplerDesc& desc) = 0;
    virtual Ref<RasterizerState> CreateRasterizerState(const RasterizerDesc& desc) = 0;
    virtual Ref<BlendState> CreateBlendState(const BlendDesc& desc) = 0;

    // Bytecode as packed by the shader build (see ShaderBytecodeHeader).
    virtual Ref<VertexShader> CreateVertexShader(const void* bytecode, size_t size) = 0;
    virtual Ref<PixelShader> CreatePixelShader(const void* bytecode, size_t size) = 0;
    virtual Ref<ComputeShader> CreateComputeShader(const void* bytecode, size_t size) = 0;
    // Null when the adapter's queue keeps no GPU clock.
    virtual Ref<Query> CreateQuery(const QueryDesc& desc) = 0;

    // A swap chain for a window of the window system named in DeviceOptions when the device was made.
    virtual Ref<SwapChain> CreateSwapChainForWindow(const window::NativeWindow& window,
                                                    const SwapChainDesc& desc) = 0;

    virtual Ref<DeviceContext> GetImmediateContext() = 0;
    virtual std::string GetAdapterName() const = 0;
    virtual gpu::Renderer GetRenderer() const = 0;
    virtual std::string GetLastError() const = 0;
    // The last call of the device or its context that broke a rule of the interface; Passed if none did.
    virtual Check GetLastFailedCheck() const = 0;
};

// What a context has done since it was made; a device that keeps no count answers zeros.
struct ContextStatistics {
    uint64_t pipelineLookups = 0; // searches of the pipeline cache, graphics and compute
};

// The immediate context: state is kept between calls as in Direct3D 11; bound objects hold a
// reference while bound. Work is recorded and submitted at Flush, Present or ReadBack.
class DeviceContext : public Object {
  public:
    virtual void VSSetShaderResources(uint32_t StartSlot, uint32_t NumViews,
                                      ShaderResourceView* const* views) = 0;
    virtual void PSSetShaderResources(uint32_t StartSlot, uint32_t NumViews,
                                      ShaderResourceView* const* views) = 0;
    virtual void CSSetShaderResources(uint32_t StartSlot, uint32_t NumViews,
                                      ShaderResourceView* const* views) = 0;
    // Initial counts are accepted for the Direct3D signature; append/consume counters are not
    // supported, so they are ignored.
    virtual void CSSetUnorderedAccessViews(uint32_t StartSlot, uint32_t NumUAVs,
                                           UnorderedAccessView* const* views,
                                           const uint32_t* UAVInitialCounts) = 0;

    virtual void VSSetConstantBuffers(uint32_t StartSlot, uint32_t NumBuffers, Buffer* const* buffers) = 0;
    virtual void PSSetConstantBuffers(uint32_t StartSlot, uint32_t NumBuffers, Buffer* const* buffers) = 0;
    virtual void CSSetConstantBuffers(uint32_t StartSlot, uint32_t NumBuffers, Buffer* const* buffers) = 0;

    virtual void VSSetSamplers(uint32_t StartSlot, uint32_t NumSamplers, SamplerState* const* samplers) = 0;
    virtual void PSSetSamplers(uint32_t StartSlot, uint32_t NumSamplers, SamplerState* const* samplers) = 0;
    virtual void CSSetSamplers(uint32_t StartSlot, uint32_t NumSamplers, SamplerState* const* samplers) = 0;

    virtual void VSSetShader(VertexShader* shader) = 0;
    virtual void PSSetShader(PixelShader* shader) = 0;
    virtual void CSSetShader(ComputeShader* shader) = 0;

    virtual void IASetPrimitiveTopology(PrimitiveTopology topology) = 0;
    // The indices of indexed draws: R32_UINT values from byte Offset of the buffer on. Null unbinds.
    virtual void IASetIndexBuffer(Buffer* pIndexBuffer, gpu::Format Format, uint32_t Offset) = 0;
    virtual void RSSetState(RasterizerState* state) = 0;
    virtual void RSSetViewports(uint32_t NumViewports, const Viewport* viewports) = 0;
    // A null state means Direct3D's default (no blending, all channels written).
    virtual void OMSetBlendState(BlendState* state, const float BlendFactor[4], uint32_t SampleMask) = 0;
    virtual void OMSetRenderTargets(uint32_t NumViews, RenderTargetView* const* views,
                                    DepthStencilView* depthStencilView) = 0;

    virtual void ClearRenderTargetView(RenderTargetView* view, const float ColorRGBA[4]) = 0;
    virtual void ClearDepthStencilView(DepthStencilView* view, uint32_t ClearFlags, float Depth,
                                       uint8_t Stencil) = 0;
    // Subresource = mip level for textures, 0 for buffers. A null box means the whole subresource.
    virtual void UpdateSubresource(Resource* resource, uint32_t Subresource, const Box* box, const void* data,
                                   uint32_t SrcRowPitch, uint32_t SrcDepthPitch) = 0;

    virtual void Draw(uint32_t VertexCount, uint32_t StartVertexLocation) = 0;
    virtual void DrawInstanced(uint32_t VertexCountPerInstance, uint32_t InstanceCount,
                               uint32_t StartVertexLocation, uint32_t StartInstanceLocation) = 0;
    // Vertex i of an instance is the one the index at StartIndexLocation + i names, plus
    // BaseVertexLocation.
    virtual void DrawIndexedInstanced(uint32_t IndexCountPerInstance, uint32_t InstanceCount,
                                      uint32_t StartIndexLocation, int32_t BaseVertexLocation,
                                      uint32_t StartInstanceLocation) = 0;
    // DrawIndexedInstanced with its five arguments (index count, instance count, start index, base vertex,
    // start instance) read from the buffer at AlignedByteOffsetForArgs when the draw runs, so that work
    // recorded before it (a compute pass) can write them.
    virtual void DrawIndexedInstancedIndirect(Buffer* pBufferForArgs, uint32_t AlignedByteOffsetForArgs) = 0;
    virtual void Dispatch(uint32_t ThreadGroupCountX, uint32_t ThreadGroupCountY,
                          uint32_t ThreadGroupCountZ) = 0;
    // Rebuilds every level below the view's most detailed one from that level.
    virtual void GenerateMips(ShaderResourceView* view) = 0;

    virtual void Begin(Query* query) = 0;
    virtual void End(Query* query) = 0;
    // Does not wait for the result. DataSize must be the size of the query's result. Unless Flags holds
    // ASYNC_GETDATA_DONOTFLUSH, work still being recorded is submitted, so that asking again
    // eventually finds the result.
    virtual QueryStatus GetData(Query* query, void* data, uint32_t DataSize, uint32_t Flags) = 0;

    // Submits the recorded work without waiting for it.
    virtual void Flush() = 0;
    // Waits for all work so far and copies one subresource into CPU memory: a buffer's whole
    // contents, or a texture level as rows of RowPitch bytes (slices follow each other for 3D).
    // Returns false when the resource cannot be read back or the device is lost.
    virtual bool ReadBack(Resource* resource, uint32_t Subresource, void* destination, size_t destinationSize,
                          uint32_t RowPitch) = 0;

    virtual ContextStatistics GetStatistics() const { return {}; }
};

struct DeviceOptions {
    // Needed for presentation: what presenting to its window system takes is enabled. A device made
    // with none renders offscreen only.
    window::NativeWindow window;
    // Turns the Khronos validation layer on; every message goes to debugMessage.
    bool debugLayer = false;
    void (*debugMessage)(void* user, const char* message) = nullptr;
    void* debugMessageUser = nullptr;
    // The renderer asked for. Unset: MIRELANDT_GPU's ("d3d11" or "vulkan") when that is set, else the
    // platform's default: on Windows Direct3D 11, and Vulkan when Direct3D 11 cannot start (one line on
    // stderr says why); elsewhere Vulkan. A renderer asked for never falls back to another.
    std::optional<gpu::Renderer> renderer;
    gpu::PresentModel present = gpu::PresentModel::Flip;
};

// Creates the device and its immediate context on the best adapter: a real GPU when one is
// present, else a CPU implementation (Vulkan: lavapipe; Direct3D 11: WARP). Direct3D 11 takes the adapter
// of the options' window's monitor. On Vulkan the environment variable MIRELANDT_VULKAN_DEVICE forces a
// choice: an adapter index, or a part of the adapter's name (e.g. "llvmpipe"). With MIRELANDT_GPU_INFO=1
// (or the older MIRELANDT_VULKAN_INFO=1) one line on stderr names the renderer, the adapter and how it
// presents.
// On failure returns false and sets *error to one line saying why.
bool CreateDevice(const DeviceOptions& options, Ref<Device>* device, Ref<DeviceContext>* immediateContext,
                  std::string* error);

} // namespace gpu
