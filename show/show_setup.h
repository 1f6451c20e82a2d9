// The show as the intro and the capture both run it: the frame context installed on a device, the
// track set, the scene with its output pass drawing into a target the caller owns.
#pragma once

#include "content/build_scene.h"
#include "platform/gpu.h"
#include "show/show_frame.h"

namespace show {

struct Show {
    ShowState state;
    Orvo::Gfx::SceneState built; // the scene lives until process exit, like every graphics object
};

// Start-up after the display: installs the frame context, builds the tracks and the scene, appends the
// output pass and points it at `target` (width x height, RGBA8).
void setupShow(Show& show, gpu::Device* device, gpu::DeviceContext* context, gpu::RenderTargetView* target,
               int width, int height);

// Destroys the scene and drops the runtime's hold on the device, for a program that shuts its device
// down in order (the intro leaves all of it to process exit).
void teardownShow(Show& show);

// Renders the frame at `time` into the target: the frame context and the track values (prepareShowFrame),
// then the scene's pass list; `time` becomes the previous frame's. The intro, the director and the capture
// all draw their frames through it, then present or read back the target.
void renderShowFrame(Show& show, float time);

} // namespace show
