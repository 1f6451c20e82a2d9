#pragma once
// The show's ten passes: created, set up and registered under their keys, then listed in the order they
// run every frame.
#include "scene_resources.h"

namespace Orvo::Gfx {
struct Scene;
}

void createPassList(Orvo::Gfx::Scene& scene, const SceneResources& resources);
