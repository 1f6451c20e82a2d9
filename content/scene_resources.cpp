#include "content/scene_resources.h"

#include "content/assets.h"
#include "gfx/scene.h"

#include <type_traits>

namespace Orvo::Gfx {

namespace {

constexpr int32_t kColourFormat = FormatR16G16B16A16Float; // headroom for blending and blurring
constexpr int32_t kDepthFormat = FormatD32Float;

template <class T> T* registerResource(Scene& scene, uint32_t id, T* resource) {
    scene.resources.findOrInsert(id) = resource;
    return resource;
}

TextureRuntime* screenTexture(Scene& scene, uint32_t id, uint32_t width, uint32_t height, int32_t format) {
    auto* texture = new TextureRuntime;
    TextureDesc desc;
    desc.dimension = Dimension2D;
    // The screen size reaches the textures through float, as it reaches the viewport and the shaders.
    desc.width = uint32_t(float(width));
    desc.height = uint32_t(float(height));
    desc.depth = 0;
    desc.generateMips = false;
    desc.format = format;
    texture->init(desc, false);
    return registerResource(scene, id, texture);
}

// A structured buffer that a compute pass writes every frame, so it starts without contents.
BufferRuntime* computeBuffer(Scene& scene, uint32_t id, uint32_t stride, uint32_t countX, uint32_t countY) {
    auto* buffer = new BufferRuntime;
    BufferDesc desc;
    desc.constant = false;
    desc.stride = stride;
    desc.countX = countX;
    desc.countY = countY;
    desc.countZ = 1;
    desc.initialData = nullptr;
    buffer->init(desc, false);
    return registerResource(scene, id, buffer);
}

// A buffer over a built-in table, used in place (the table outlives the scene).
template <class T> BufferDataRuntime* dataBuffer(Scene& scene, uint32_t id, const assets::Table<T>& table) {
    auto* buffer = new BufferDataRuntime;
    DataSourceDesc desc;
    desc.elementType = std::is_same_v<T, float> ? ElementFloat32 : ElementInt32;
    desc.elements = table.elements;
    desc.elementCount = table.elementCount;
    buffer->init(desc, false);
    return registerResource(scene, id, buffer);
}

// The corners of a glyph pixel's quad, numbered as the cylinder's vertex program numbers them (top left,
// top right, bottom left, bottom right), as two triangles that share the diagonal.
constexpr uint32_t kQuadIndices[6] = {0, 1, 2, 2, 1, 3};

// The five arguments of an indexed draw, which a compute pass writes every frame.
BufferRuntime* drawArgumentsBuffer(Scene& scene, uint32_t id) {
    auto* buffer = new BufferRuntime;
    BufferDesc desc;
    desc.stride = 4;
    desc.countX = 5;
    desc.drawArguments = true;
    // Typed, not structured: Direct3D 11 refuses a structured buffer of draw arguments.
    buffer->viewFormat = gpu::Format::R32_UINT;
    buffer->init(desc, false);
    return registerResource(scene, id, buffer);
}

BufferRuntime* indexBuffer(Scene& scene, uint32_t id, const uint32_t* indices, uint32_t count) {
    auto* buffer = new BufferRuntime;
    BufferDesc desc;
    desc.stride = 4;
    desc.countX = count;
    desc.initialData = indices;
    desc.indices = true;
    // Typed, not structured: Direct3D 11 refuses a structured index buffer.
    buffer->viewFormat = gpu::Format::R32_UINT;
    buffer->init(desc, false);
    return registerResource(scene, id, buffer);
}

} // namespace

SceneResources createSceneResources(Scene& scene, uint32_t width, uint32_t height) {
    SceneResources r;
    r.sphereImage = screenTexture(scene, 0, width, height, kColourFormat);
    r.sphereBuffer = computeBuffer(scene, 1, 16, 768, 1); // the glenz stream at two moments, then as drawn
    r.cylinderDepth = screenTexture(scene, 2, width, height, kDepthFormat);
    r.cylinderFont = dataBuffer(scene, 3, assets::cylinderFont);
    r.cylinderPalette = dataBuffer(scene, 4, assets::cylinderPalette);
    r.cylinderCells = dataBuffer(scene, 5, assets::cylinderCells);
    r.cylinderImage = screenTexture(scene, 6, width, height, kColourFormat);
    r.blurAImage = screenTexture(scene, 7, width, height, kColourFormat);
    r.compositeImage = screenTexture(scene, 8, width, height, kColourFormat);
    r.textImage = screenTexture(scene, 9, width, height, kColourFormat);
    r.c64fontBuffer = dataBuffer(scene, 10, assets::c64fontBuffer);
    r.colorpalette = dataBuffer(scene, 11, assets::colorpalette);
    r.textBuffer1 = dataBuffer(scene, 12, assets::textBuffer1);
    r.textBuffer2 = dataBuffer(scene, 13, assets::textBuffer2);
    r.textBuffer3 = dataBuffer(scene, 14, assets::textBuffer3);
    r.textBuffer4 = dataBuffer(scene, 15, assets::textBuffer4);
    r.fontBuffer3 = dataBuffer(scene, 16, assets::fontBuffer3);
    r.textBuffer5 = dataBuffer(scene, 17, assets::textBuffer5);
    r.blurBImage = screenTexture(scene, 18, width, height, kColourFormat);
    r.textBuffer6 = dataBuffer(scene, 19, assets::textBuffer6);
    r.lamerImage = screenTexture(scene, 20, width, height, kColourFormat);
    r.sceneOutput = screenTexture(scene, 21, width, height, kColourFormat);
    r.mirrorBImage = screenTexture(scene, 22, width, height, kColourFormat);
    // One record per cell of the 256 x 96 character grid: a float4 colour and a code, which the
    // programs lay out at the 16-byte alignment of the colour, 32 bytes a record.
    r.cylinderCharacters = computeBuffer(scene, 23, 32, 256, 96);
    r.cylinderQuadIndices = indexBuffer(scene, 24, kQuadIndices, 6);
    r.cylinderCellMasks = computeBuffer(scene, 25, 16, 256, 96);
    r.cylinderCellCounts = computeBuffer(scene, 26, 4, 256, 96);
    r.cylinderCellOffsets = computeBuffer(scene, 27, 4, 256, 96);
    r.cylinderDrawArguments = drawArgumentsBuffer(scene, 28);
    r.cylinderKeptQuads = computeBuffer(scene, 29, 4, 256 * 96, 128);
    return r;
}

} // namespace Orvo::Gfx
