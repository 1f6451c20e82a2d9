#include "gfx/pass_programs.h"
#include "gfx/scene.h"

#include <algorithm>

namespace Orvo::Gfx {

void Scene::appendOutputPass(uint32_t screenWidth, uint32_t screenHeight) {
    auto texture = std::make_unique<TextureRuntime>();
    TextureDesc textureDesc;
    textureDesc.dimension = Dimension2D;
    // The screen size travels through float like every screen-sized texture of the show.
    textureDesc.width = uint32_t(float(screenWidth));
    textureDesc.height = uint32_t(float(screenHeight));
    textureDesc.depth = 0;
    textureDesc.generateMips = false;
    textureDesc.format = FormatR16G16B16A16Float;
    texture->init(textureDesc, false);

    auto pass = std::make_unique<GraphicsPass>();
    GraphicsPassDesc desc;
    useGraphicsPrograms(desc, "output_vs", "output_ps");
    desc.targets.append({texture.get(), true});
    desc.inputs.append({ResourceTexture, output});
    setupGraphicsPass(*pass, desc);

    passes.append(PassListEntry::of(pass.get()));
    output = texture.get();
    outputTextures.push_back(std::move(texture));
    outputPasses.push_back(std::move(pass));
}

void useBackBuffer(Scene& scene, gpu::RenderTargetView* backBuffer, uint32_t backWidth, uint32_t backHeight) {
    if (scene.output) scene.output->rtvA = gpu::Ref<gpu::RenderTargetView>::share(backBuffer);
    GraphicsPass* pass = scene.outputPass();
    if (!pass || !scene.output) return;
    pass->originX = (backWidth - std::min(backWidth, scene.output->desc.width)) / 2;
    pass->originY = (backHeight - std::min(backHeight, scene.output->desc.height)) / 2;
}

} // namespace Orvo::Gfx
