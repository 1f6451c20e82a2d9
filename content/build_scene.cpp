#include "content/build_scene.h"

#include "content/pass_list.h"
#include "content/track_table.h"
#include "gfx/scene.h"

#include <cstdlib>
#include <cstring>

using namespace base;
using namespace sync_tracks;

namespace Orvo::Gfx {

void buildScene(SceneState* state, uint32_t screenWidth, uint32_t screenHeight) {
    auto* scene = new Orvo::Gfx::Scene;
    state->scene = scene;

    DynArray<ContextVariable> variables;
    appendTrackVariables(variables);
    scene->variables = variables;
    // Packed once now, as every frame packs them, so the packer holds a block before the first frame.
    Orvo::Gfx::packVariables(scene->packer, std::move(variables));

    layDownTrackKeys(state->tracks);
    // For checks of what the cylinder covers: MIRELANDT_NO_CYLINDER=1 renders the show with SCENE_ONE at 0
    // throughout, so the composite takes nothing from the cylinder chain.
    if (const char* off = std::getenv("MIRELANDT_NO_CYLINDER"); off && std::strcmp(off, "1") == 0) {
        constexpr uint32_t kSceneOneTrack = 13;
        DynArray<SyncKey>& sceneOne = state->tracks.track(kSceneOneTrack).keys;
        sceneOne.resize(1);
        sceneOne[0] = {0, 0.0f, int32_t(Interpolation::Hold)};
    }

    const SceneResources resources = createSceneResources(*scene, screenWidth, screenHeight);
    createPassList(*scene, resources);
    scene->output = resources.sceneOutput;
    scene->firstFrame = true;
}

} // namespace Orvo::Gfx
