#include "content/pass_list.h"

#include "gfx/pass_programs.h"
#include "gfx/scene.h"

#include <array>
#include <initializer_list>
#include <string_view>

using namespace base;

namespace Orvo::Gfx {

namespace {

// Blend-table rows: what a pass stores even with blending off, where the row has no effect.
constexpr int32_t kBlendAdd = 0;
constexpr int32_t kBlendAlphaOverKeepDest = 1;
constexpr int32_t kBlendAlphaOver = 2;

ResourceBinding textureInput(TextureRuntime* texture) {
    return {ResourceTexture, texture};
}

ResourceBinding bufferInput(BufferRuntime* buffer) {
    return {ResourceBuffer, buffer};
}

// The input of position i goes to register t i.
void bindInputs(DynArray<ResourceBinding>& bindings, std::initializer_list<ResourceBinding> inputs) {
    bindings.resize(uint32_t(inputs.size()));
    uint32_t slot = 0;
    for (const ResourceBinding& input : inputs) bindings[slot++] = input;
}

// A pass that clears `target` to opaque black and draws one full-screen triangle every frame; the input
// of position i is bound at register t i of both stages.
GraphicsPassDesc drawInto(TextureRuntime* target, std::string_view vertexProgram,
                          std::string_view pixelProgram, std::initializer_list<ResourceBinding> inputs) {
    GraphicsPassDesc desc;
    useGraphicsPrograms(desc, vertexProgram, pixelProgram);
    desc.targets.append({target, true});
    bindInputs(desc.inputs, inputs);
    return desc;
}

// A pass that runs `program` every frame on threadsX x threadsY threads, with the inputs at t0 onwards
// and `output` at the unordered-access register after the last input.
ComputePassDesc computeInto(BufferRuntime* output, std::string_view program, uint32_t threadsX,
                            uint32_t threadsY, std::initializer_list<ResourceBinding> inputs) {
    ComputePassDesc desc;
    useComputeProgram(desc, program);
    desc.threadsX = threadsX;
    desc.threadsY = threadsY;
    desc.threadsZ = 1;
    bindInputs(desc.inputs, inputs);
    desc.outputs.resize(1);
    desc.outputs[0] = bufferInput(output);
    return desc;
}

GraphicsPassDesc fullscreen(TextureRuntime* target, std::string_view pixelProgram, ResourceBinding input,
                            int32_t blendMode) {
    GraphicsPassDesc desc = drawInto(target, "fullscreen_vs", pixelProgram, {input});
    desc.blendMode = blendMode;
    return desc;
}

GraphicsPass* createGraphicsPass(Scene& scene, uint32_t key, const GraphicsPassDesc& desc) {
    auto* pass = new GraphicsPass;
    setupGraphicsPass(*pass, desc);
    scene.graphicsPasses.findOrInsert(key) = pass;
    return pass;
}

ComputePass* createComputePass(Scene& scene, uint32_t key, const ComputePassDesc& desc) {
    auto* pass = new ComputePass;
    setupComputePass(*pass, desc);
    scene.computePasses.findOrInsert(key) = pass;
    return pass;
}

ComputePassDesc withOutput(ComputePassDesc desc, BufferRuntime* output) {
    desc.outputs.append(bufferInput(output));
    return desc;
}

// The cylinder's cull step, three passes that keep only the glyph pixels' quads that may cover a pixel,
// in their grid order: a thread per cell marks its kept quads and counts them (u0, u1); one group of
// threads sums the counts into each cell's offset and writes the draw's counts (t0 -> u1, u2); a thread
// per cell writes its kept quads' numbers from its offset on (t0, t1 -> u2).
std::array<ComputePassDesc, 3> cylinderCullDescs(const SceneResources& r) {
    return {withOutput(computeInto(r.cylinderCellMasks, "char_cylinder_cull_cs", 256, 96, {}),
                       r.cylinderCellCounts),
            withOutput(computeInto(r.cylinderCellOffsets, "char_cylinder_scan_cs", 8, 1,
                                   {bufferInput(r.cylinderCellCounts)}),
                       r.cylinderDrawArguments),
            computeInto(r.cylinderKeptQuads, "char_cylinder_keep_cs", 256, 96,
                        {bufferInput(r.cylinderCellMasks), bufferInput(r.cylinderCellOffsets)})};
}

// The kept glyph pixels of the chosen characters as quads on the cylinder, depth-tested and blended: four
// corners drawn as two indexed triangles, an instance per kept quad, as many as the cull step counted.
// The programs read the font at t0, the cells' records at t4 and the kept quads' numbers at t5; t1 to t3
// are bound all the same.
GraphicsPassDesc cylinderDesc(const SceneResources& r) {
    GraphicsPassDesc desc = drawInto(r.cylinderImage, "char_cylinder_vs", "vertex_colour_ps",
                                     {bufferInput(r.cylinderFont), bufferInput(r.cylinderCells),
                                      bufferInput(r.cylinderCells), bufferInput(r.cylinderPalette),
                                      bufferInput(r.cylinderCharacters), bufferInput(r.cylinderKeptQuads)});
    desc.indexBuffer = r.cylinderQuadIndices;
    desc.drawArguments = r.cylinderDrawArguments;
    desc.vertexCount = 6;
    desc.instanceCount = 256 * 96 * 128; // at most; the cull step's count is drawn
    desc.depthEnabled = true;
    desc.depth = {r.cylinderDepth, true};
    desc.blendEnabled = true;
    desc.blendMode = kBlendAlphaOver;
    return desc;
}

// The ten text layers, one quad each, blended over one another. textBuffer6 serves slots t6 to t9.
GraphicsPassDesc textDesc(const SceneResources& r) {
    GraphicsPassDesc desc =
        drawInto(r.textImage, "text_layers_vs", "text_layers_ps",
                 {bufferInput(r.c64fontBuffer), bufferInput(r.textBuffer1), bufferInput(r.textBuffer2),
                  bufferInput(r.textBuffer3), bufferInput(r.textBuffer4), bufferInput(r.textBuffer5),
                  bufferInput(r.textBuffer6), bufferInput(r.textBuffer6), bufferInput(r.textBuffer6),
                  bufferInput(r.textBuffer6), bufferInput(r.colorpalette), bufferInput(r.c64fontBuffer),
                  bufferInput(r.fontBuffer3)});
    desc.vertexCount = 6;
    desc.instanceCount = 10;
    desc.blendEnabled = true;
    desc.blendMode = kBlendAlphaOver;
    return desc;
}

} // namespace

const std::array<std::string_view, 14> kPassListNames = {
    "sphere update", "sphere", "char choice", "cylinder cull", "cylinder scan", "cylinder keep", "cylinder",
    "mirror B",      "text",   "blur B",      "composite",     "lamer",         "blur A",        "mirror A"};

void createPassList(Scene& scene, const SceneResources& r) {
    GraphicsPass* sphere = createGraphicsPass(
        scene, 0,
        fullscreen(r.sphereImage, "glenz_spheres_ps", bufferInput(r.sphereBuffer), kBlendAlphaOverKeepDest));
    // The glenz stream's simulation: one thread per object, writing the object buffer at u0.
    ComputePass* sphereUpdate =
        createComputePass(scene, 0, computeInto(r.sphereBuffer, "sphere_sim_cs", 256, 1, {}));
    // The character choice: one thread per cell of the 256 x 96 grid reads the sphere image and writes
    // the cell's record (at u1), so that the cylinder reads each cell's character instead of choosing
    // it again for every vertex.
    ComputePass* charChoice = createComputePass(
        scene, 1,
        computeInto(r.cylinderCharacters, "char_choice_cs", 256, 96, {textureInput(r.sphereImage)}));
    const std::array<ComputePassDesc, 3> cullDescs = cylinderCullDescs(r);
    ComputePass* cylinderCull = createComputePass(scene, 2, cullDescs[0]);
    ComputePass* cylinderScan = createComputePass(scene, 3, cullDescs[1]);
    ComputePass* cylinderKeep = createComputePass(scene, 4, cullDescs[2]);
    GraphicsPass* cylinder = createGraphicsPass(scene, 1, cylinderDesc(r));
    GraphicsPass* blurA = createGraphicsPass(
        scene, 2, fullscreen(r.blurAImage, "dof_blur_ps", textureInput(r.lamerImage), kBlendAdd));
    // The composite reads the cylinder chain's picture only while SCENE_ONE is on and the text layers only
    // while SCENE_TWO is, so a frame without them leaves out the passes that draw them.
    GraphicsPass* composite = createGraphicsPass(scene, 3,
                                                 drawInto(r.compositeImage, "fullscreen_vs", "composite_ps",
                                                          {{ResourceTexture, r.blurBImage, "SCENE_ONE"},
                                                           {ResourceTexture, r.textImage, "SCENE_TWO"}}));
    GraphicsPass* text = createGraphicsPass(scene, 4, textDesc(r));
    GraphicsPass* blurB = createGraphicsPass(
        scene, 5, fullscreen(r.blurBImage, "dof_blur2_ps", textureInput(r.mirrorBImage), kBlendAdd));
    GraphicsPass* lamer = createGraphicsPass(
        scene, 6, fullscreen(r.lamerImage, "lamer_ps", textureInput(r.compositeImage), kBlendAdd));
    GraphicsPass* mirrorA = createGraphicsPass(
        scene, 7, fullscreen(r.sceneOutput, "mirror_ps", textureInput(r.blurAImage), kBlendAdd));
    GraphicsPass* mirrorB = createGraphicsPass(
        scene, 8, fullscreen(r.mirrorBImage, "mirror2_ps", textureInput(r.cylinderImage), kBlendAdd));

    // The simulation runs first so that the sphere pass sees this frame's positions, and the character
    // choice between the sphere pass and the cylinder, on this frame's picture; the text layers draw
    // before the composite that reads them.
    scene.passes.append(PassListEntry::of(sphereUpdate));
    scene.passes.append(PassListEntry::of(sphere));
    scene.passes.append(PassListEntry::of(charChoice));
    for (ComputePass* pass : {cylinderCull, cylinderScan, cylinderKeep})
        scene.passes.append(PassListEntry::of(pass));
    for (GraphicsPass* pass : {cylinder, mirrorB, text, blurB, composite, lamer, blurA, mirrorA})
        scene.passes.append(PassListEntry::of(pass));
}

} // namespace Orvo::Gfx
