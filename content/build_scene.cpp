#include "content/build_scene.h"

#include "content/pass_list.h"
#include "content/track_table.h"
#include "gfx/scene.h"

void buildScene(SceneState* state, uint32_t screenWidth, uint32_t screenHeight) {
    auto* scene = new Orvo::Gfx::Scene;
    state->scene = scene;

    DynArray<ContextVariable> variables;
    appendTrackVariables(variables);
    scene->variables = variables;
    // Packed once now, as every frame packs them, so the packer holds a block before the first frame.
    Orvo::Gfx::packVariables(scene->packer, std::move(variables));

    layDownTrackKeys(state->tracks);

    const SceneResources resources = createSceneResources(*scene, screenWidth, screenHeight);
    createPassList(*scene, resources);
    scene->output = resources.sceneOutput;
    scene->firstFrame = true;
}
