// The show's fourteen passes: created, set up and registered under their keys, then listed in the order they
// run every frame.
#pragma once

#include "content/scene_resources.h"

#include <array>
#include <string_view>

namespace Orvo::Gfx {

struct Scene;

void createPassList(Orvo::Gfx::Scene& scene, const SceneResources& resources);

// The fourteen passes in the order createPassList lists them, as the show's tools name them.
extern const std::array<std::string_view, 14> kPassListNames;

} // namespace Orvo::Gfx
