// The start-up dialog of the Windows intro, shown when it is started without options: the monitor, the
// resolution, the renderer, a window instead of the full screen, vertical sync and looping, chosen before
// the show opens. Its defaults are the intro's own start: full screen on the primary monitor at its desktop
// size, on the renderer the caller preselects, with vertical sync, played once. platform/win32/ implements
// it; other systems start without it.
#pragma once

#include "platform/gpu.h"
#include "platform/window.h"

#include <string>

namespace window {

struct StartChoice {
    WindowPlacement placement; // windowed or full screen, the monitor, the window's size
    ScreenSize resolution;     // the full screen's picture size, scaled to the monitor
    gpu::Renderer renderer = gpu::Renderer::Direct3D11; // selected in the list when it opens
    bool vsync = true;
    bool loop = false;
};

enum class DialogAnswer : uint8_t { Start, Quit, Failed };

// Shows the dialog and waits: Start (Enter) fills `choice`, Quit (Escape, or closing the dialog) leaves it.
// Failed with a one-line reason when the dialog cannot be shown.
DialogAnswer runStartDialog(StartChoice* choice, std::string* error);

// False when MIRELANDT_NO_DIALOG=1: scripted runs show no dialog, neither this one nor the message box of a
// failed start.
bool dialogsWanted();

} // namespace window
