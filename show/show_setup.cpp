#include "show/show_setup.h"

#include "gfx/install_frame_context.h"
#include "gfx/scene.h"

using namespace Orvo::Gfx;

namespace show {

void setupShow(Show& show, gpu::Device* device, gpu::DeviceContext* context, gpu::RenderTargetView* target,
               int width, int height) {
    const ShowScreen picture = showPicture(width, height);
    show.state.screen = picture;
    show.state.frameContext = {};
    show.state.frameContext.device = device;
    show.state.frameContext.immediateContext = context;
    Orvo::Gfx::installFrameContext(show.state.frameContext);

    buildScene(&show.built, uint32_t(picture.width), uint32_t(picture.height));
    show.built.scene->appendOutputPass(uint32_t(picture.width), uint32_t(picture.height));
    Orvo::Gfx::useBackBuffer(*show.built.scene, target, uint32_t(width), uint32_t(height));

    show.state.tracks = &show.built.tracks;
    show.state.variables = show.built.scene->variables.items;
    show.state.variableCount = show.built.scene->variables.count;
}

void teardownShow(Show& show) {
    delete show.built.scene;
    show.built.scene = nullptr;
    show.state.variables = nullptr;
    show.state.variableCount = 0;
    Orvo::Gfx::releaseFrameContext();
}

void renderShowFrame(Show& show, float time) {
    prepareShowFrame(show.state, time);
    show.built.scene->renderFrame();
    show.state.clock.prevTime = time;
}

} // namespace show
