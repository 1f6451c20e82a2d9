// The show's scene, built once at start-up before the audio starts: the track set with every key, one
// context variable per track, the 24 resources and the eleven passes in the order they run.
#pragma once

#include "sync/track_set.h"

#include <cstdint>

namespace Orvo::Gfx {

struct Scene;

// What the main loop keeps of the show: the scene the builder creates, then the track set it fills.
struct SceneState {
    Orvo::Gfx::Scene* scene = nullptr;
    sync_tracks::TrackSet tracks;
};

// Creates the scene into state->scene and lays the choreography down into state->tracks. The screen size
// sizes every render target. The device must be installed as the current frame context first; resources
// or shaders it cannot make stay null and their passes draw nothing. The scene's output is the finished
// picture (sceneOutput); the caller appends the output pass behind the eleven passes.
void buildScene(SceneState* state, uint32_t screenWidth, uint32_t screenHeight);

} // namespace Orvo::Gfx
