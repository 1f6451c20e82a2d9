// The rules of the GPU interface, one code and one message each. Every backend runs the check of a
// description or a context call (platform/gpu.cpp) before it does anything else, so a rule is written once
// and a call refused for breaking it is refused alike everywhere, with its code.
#pragma once

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
    X(ShaderBytecode, "the shader bytecode is damaged or not SPIR-V")                                        \
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
