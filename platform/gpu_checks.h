// The rules of the GPU interface, one code and one message each, and the checks that hold descriptions and
// context calls to them. Every backend runs the check of a call before it does anything else, so a rule is
// written once and a call refused for breaking it is refused alike everywhere, with its code. The checks of
// views and shaders also hand the backend what they worked out, so that it creates from that alone.
#pragma once

#include "platform/gpu.h"

// X(code, message)
#define MIRELANDT_GPU_CHECKS(X)                                                                              \
    X(BufferEmpty, "a buffer needs at least one byte")                                                       \
    X(BufferStride, "a structured buffer's size must be a multiple of its nonzero stride")                   \
    X(BufferStructuredUse,                                                                                   \
      "a structured buffer is neither an index buffer nor a buffer of indirect draw arguments")              \
    X(TextureEmpty, "a texture needs a size of at least 1 in every dimension")                               \
    X(TextureFormat, "a texture needs a known format")                                                       \
    X(TextureTargetFormat, "render targets take colour formats and depth targets depth formats")             \
    X(ViewResource, "no resource to view")                                                                   \
    X(ViewBindFlag, "the resource was not created for this kind of view")                                    \
    X(ViewElements, "the view's elements do not fit the buffer (or the buffer has no element size)")         \
    X(ViewMips, "the view's mip levels are not in the texture")                                              \
    X(ViewSlices, "a 3D texture's unordered-access view must cover all its slices")                          \
    X(ViewTargetDimension, "render and depth targets are 2D textures")                                       \
    X(ViewTargetFormat, "a render-target view keeps its texture's format")                                   \
    X(SamplerFilter, "unknown sampler filter")                                                               \
    X(SamplerAddress, "unknown texture address mode")                                                        \
    X(SamplerLod, "the sampler's MinLOD is above its MaxLOD")                                                \
    X(RasterizerMode, "unknown fill or cull mode")                                                           \
    X(BlendFactor, "unknown blend factor or blend operation")                                                \
    X(BlendWriteMask, "a write mask has bits beyond red, green, blue and alpha")                             \
    X(ShaderBytecode, "the shader bytecode is damaged, not SPIR-V, or carries an unsound DXBC container")    \
    X(ShaderStage, "the shader bytecode is for another stage")                                               \
    X(QueryType, "unknown query type")                                                                       \
    X(SwapChainFormat, "a swap chain's format is R8G8B8A8_UNORM or B8G8R8A8_UNORM")                          \
    X(SlotRange, "the slots lie beyond the stage's slot count")                                              \
    X(TargetCount, "more render targets than the context has slots")                                         \
    X(Topology, "unknown primitive topology")                                                                \
    X(DrawVertexShader, "a draw needs a vertex shader")                                                      \
    X(DrawTopology, "a draw needs a primitive topology")                                                     \
    X(DrawViewport, "a draw needs a viewport with an area")                                                  \
    X(DrawTarget, "a draw needs a render target or a depth target")                                          \
    X(IndexBuffer,                                                                                           \
      "an index buffer is made with BIND_INDEX_BUFFER and read as R32_UINT from a multiple of 4 bytes")      \
    X(DrawIndexBuffer, "an indexed draw needs an index buffer that holds its indices")                       \
    X(DrawArguments,                                                                                         \
      "an indirect draw reads its arguments from a buffer made with RESOURCE_MISC_DRAWINDIRECT_ARGS, at a "  \
      "multiple of 4 bytes and inside the buffer")                                                           \
    X(DispatchShader, "a dispatch needs a compute shader")                                                   \
    X(DispatchSize, "a dispatch has more than 65535 thread groups in a dimension")                           \
    X(ClearView, "a clear needs a view and a value")                                                         \
    X(ClearFlags, "a depth-stencil clear needs CLEAR_DEPTH or CLEAR_STENCIL")                                \
    X(TransferResource, "a transfer needs a resource and CPU memory to read or write")                       \
    X(Subresource, "the subresource is not in the resource")                                                 \
    X(UpdateBox, "the update box is empty or outside the subresource")                                       \
    X(ReadBackSize, "the destination is smaller than the subresource, or its row pitch than a row")          \
    X(MipsView, "generating mips needs a shader-resource view of a texture")                                 \
    X(QueryMissing, "no query given")                                                                        \
    X(QueryDataSize, "a query result needs memory of exactly the query's result size")

namespace gpu {

// Passed, then one code per rule of MIRELANDT_GPU_CHECKS.
enum class Check : uint32_t {
    Passed,
#define MIRELANDT_CHECK_CODE(code, message) code,
    MIRELANDT_GPU_CHECKS(MIRELANDT_CHECK_CODE)
#undef MIRELANDT_CHECK_CODE
};
// Passed and every code of the list.
#define MIRELANDT_CHECK_ONE(code, message) +1
constexpr uint32_t kCheckCount = 1 MIRELANDT_GPU_CHECKS(MIRELANDT_CHECK_ONE);
#undef MIRELANDT_CHECK_ONE

const char* CheckName(Check check);
const char* CheckMessage(Check check);

// Where a device keeps the outcome of its checks: the last failed check, readable at any time. With the
// environment variable MIRELANDT_GPU_CHECKS set (and not "0"), the first failure of each code also
// prints its message on stderr.
class CheckLog {
  public:
    CheckLog();
    // True when `check` is Passed; otherwise records it as the last failure. The printed line opens with
    // `call`, the interface call that broke the rule, when one is given.
    bool pass(Check check, const char* call = nullptr);
    Check last() const { return last_; }

  private:
    Check last_ = Check::Passed;
    bool print_ = false;
    bool printed_[kCheckCount] = {};
};

// The levels a texture of this description has: MipLevels, at most the full chain; 0 means the full chain.
uint32_t MipLevelCount(uint32_t width, uint32_t height, uint32_t depth, uint32_t mipLevels);

// Where a buffer view's elements lie in the buffer, in bytes.
struct ElementRange {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// A view with the defaults of its description worked out: a null description views the whole resource in
// its own format (a buffer by its structure stride), a ~0u level count runs to the last level, an UNKNOWN
// format is the texture's. The check of a view fills it when the view passes; a backend creates the view
// from it and the resource alone.
struct ResolvedView {
    ViewDimension dimension = ViewDimension::Buffer; // the viewed resource's
    // Textures: the view's format. Buffers: the elements' format, UNKNOWN for elements read by their
    // structure.
    gpu::Format format = gpu::Format::UNKNOWN;
    uint32_t firstMip = 0; // textures
    uint32_t mipCount = 0; // textures
    ElementRange elements; // buffers
};

// The checks of descriptions, run before a device creates anything.
Check CheckBufferDesc(const BufferDesc& desc);
Check CheckTextureDesc(const Texture1DDesc& desc);
Check CheckTextureDesc(const Texture2DDesc& desc);
Check CheckTextureDesc(const Texture3DDesc& desc);
// The view checks fill *resolved when it is given and the view passes; given null they only check.
Check CheckShaderResourceView(Resource* resource, const ShaderResourceViewDesc* desc,
                              ResolvedView* resolved = nullptr);
Check CheckUnorderedAccessView(Resource* resource, const UnorderedAccessViewDesc* desc,
                               ResolvedView* resolved = nullptr);
Check CheckRenderTargetView(Resource* resource, const RenderTargetViewDesc* desc,
                            ResolvedView* resolved = nullptr);
Check CheckDepthStencilView(Resource* resource, const DepthStencilViewDesc* desc,
                            ResolvedView* resolved = nullptr);
Check CheckSamplerDesc(const SamplerDesc& desc);
Check CheckRasterizerDesc(const RasterizerDesc& desc);
Check CheckBlendDesc(const BlendDesc& desc);
// Fills *parsed, when given, with the blob's parts once it has parsed.
Check CheckShaderBytecode(const void* bytecode, size_t size, ShaderStage stage,
                          ShaderBytecodeView* parsed = nullptr);
Check CheckQueryDesc(const QueryDesc& desc);
Check CheckSwapChainDesc(const SwapChainDesc& desc);

// The checks of context calls, run before a context records or changes anything. A call that fails its
// check does nothing.
Check CheckSlots(uint32_t start, uint32_t count, uint32_t slotCount);
Check CheckRenderTargets(uint32_t count);
Check CheckTopology(PrimitiveTopology topology);
// What a draw needs bound.
struct DrawBindings {
    bool vertexShader = false;
    PrimitiveTopology topology = PrimitiveTopology::UNDEFINED;
    Viewport viewport;
    bool target = false; // a render target or a depth target
};
Check CheckDraw(const DrawBindings& bound);
// An index buffer to bind: null (unbinding), or a buffer made with BIND_INDEX_BUFFER read as R32_UINT
// from a multiple of 4 bytes.
Check CheckIndexBuffer(const Buffer* buffer, Format format, uint32_t offset);
// An indexed draw: what any draw needs, and the bound index buffer (null for none, bound at `offset`)
// holding indices startIndex to startIndex + indexCount.
Check CheckDrawIndexed(const DrawBindings& bound, const Buffer* indexBuffer, uint32_t offset,
                       uint32_t startIndex, uint32_t indexCount);
// The size in bytes of DrawIndexedInstancedIndirect's arguments: five 32-bit values.
constexpr uint32_t kDrawIndexedArgumentsSize = 20;
// An indirect indexed draw: what any draw needs, a bound index buffer, and a buffer made with
// RESOURCE_MISC_DRAWINDIRECT_ARGS holding the arguments at a multiple of 4 bytes.
Check CheckDrawIndexedIndirect(const DrawBindings& bound, const Buffer* indexBuffer, const Buffer* arguments,
                               uint32_t offset);
Check CheckDispatch(bool computeShader, uint32_t x, uint32_t y, uint32_t z);
Check CheckClearRenderTarget(const RenderTargetView* view, const float* color);
Check CheckClearDepthStencil(const DepthStencilView* view, uint32_t flags);
Check CheckUpdateSubresource(Resource* resource, uint32_t subresource, const Box* box, const void* data);
Check CheckReadBack(Resource* resource, uint32_t subresource, const void* destination, size_t destinationSize,
                    uint32_t rowPitch);
Check CheckGenerateMips(ShaderResourceView* view);
Check CheckQuery(const Query* query);
Check CheckGetData(const Query* query, const void* data, uint32_t size);

} // namespace gpu
