#include "show_setup.h"

#include "install_frame_context.h"
#include "scene.h"
#include "track_table.h"

void setupShow(Show& show, gpu::Device* device, gpu::DeviceContext* context, gpu::RenderTargetView* target,
               int width, int height) {
    show.state.screen = makeShowScreen(width, height);
    show.state.frameContext = {};
    show.state.frameContext.device = device;
    show.state.frameContext.immediateContext = context;
    Orvo::Gfx::installFrameContext(show.state.frameContext);

    show.scene = new Orvo::Gfx::Scene();
    layDownTrackKeys(show.tracks);
    show.scene->appendOutputPass(uint32_t(width), uint32_t(height));
    Orvo::Gfx::useBackBuffer(*show.scene, target);

    show.state.tracks = &show.tracks;
    show.state.variables = show.scene->variables.items;
    show.state.variableCount = show.scene->variables.count;
}

void teardownShow(Show& show) {
    delete show.scene;
    show.scene = nullptr;
    show.state.variables = nullptr;
    show.state.variableCount = 0;
    Orvo::Gfx::releaseFrameContext();
}

void renderShowFrame(Show& show, float time) {
    prepareShowFrame(show.state, time);
    show.scene->renderFrame();
}
