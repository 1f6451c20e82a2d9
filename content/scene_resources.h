// The show's resources, created into the scene's registry under the ids 0 to 29 in id order. The passes
// bind them through the pointers kept here.
#pragma once

#include "gfx/buffer_data_runtime.h"
#include "gfx/texture_runtime.h"

#include <cstdint>

namespace Orvo::Gfx {

struct Scene;

struct SceneResources {
    Orvo::Gfx::TextureRuntime* sphereImage;        // 0
    Orvo::Gfx::BufferRuntime* sphereBuffer;        // 1: 768 float4 written by the sphere update pass
    Orvo::Gfx::TextureRuntime* cylinderDepth;      // 2: the only depth target
    Orvo::Gfx::BufferDataRuntime* cylinderFont;    // 3
    Orvo::Gfx::BufferDataRuntime* cylinderPalette; // 4
    Orvo::Gfx::BufferDataRuntime* cylinderCells;   // 5
    Orvo::Gfx::TextureRuntime* cylinderImage;      // 6
    Orvo::Gfx::TextureRuntime* blurAImage;         // 7
    Orvo::Gfx::TextureRuntime* compositeImage;     // 8
    Orvo::Gfx::TextureRuntime* textImage;          // 9
    Orvo::Gfx::BufferDataRuntime* c64fontBuffer;   // 10
    Orvo::Gfx::BufferDataRuntime* colorpalette;    // 11
    Orvo::Gfx::BufferDataRuntime* textBuffer1;     // 12
    Orvo::Gfx::BufferDataRuntime* textBuffer2;     // 13
    Orvo::Gfx::BufferDataRuntime* textBuffer3;     // 14
    Orvo::Gfx::BufferDataRuntime* textBuffer4;     // 15
    Orvo::Gfx::BufferDataRuntime* fontBuffer3;     // 16
    Orvo::Gfx::BufferDataRuntime* textBuffer5;     // 17
    Orvo::Gfx::TextureRuntime* blurBImage;         // 18
    Orvo::Gfx::BufferDataRuntime* textBuffer6;     // 19
    Orvo::Gfx::TextureRuntime* lamerImage;         // 20
    Orvo::Gfx::TextureRuntime* sceneOutput;        // 21: the finished picture
    Orvo::Gfx::TextureRuntime* mirrorBImage;       // 22
    Orvo::Gfx::BufferRuntime* cylinderCharacters;  // 23: each cell's character and colour, chosen every frame
    Orvo::Gfx::BufferRuntime* cylinderQuadIndices; // 24: the two triangles of a glyph pixel's quad
    // The cylinder's cull step, every frame: which glyph pixels' quads may cover a pixel, and their numbers.
    Orvo::Gfx::BufferRuntime* cylinderCellMasks;     // 25: a bit per glyph pixel of each cell
    Orvo::Gfx::BufferRuntime* cylinderCellCounts;    // 26: the quads kept in each cell
    Orvo::Gfx::BufferRuntime* cylinderCellOffsets;   // 27: where each cell's kept quads start
    Orvo::Gfx::BufferRuntime* cylinderDrawArguments; // 28: the cylinder draw's counts
    Orvo::Gfx::BufferRuntime* cylinderKeptQuads;     // 29: the kept quads' numbers, in grid order
};

// Every resource is registered, whether or not the device could make its GPU objects.
SceneResources createSceneResources(Orvo::Gfx::Scene& scene, uint32_t screenWidth, uint32_t screenHeight);

} // namespace Orvo::Gfx
