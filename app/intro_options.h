// The command line of mirelandt. Without arguments the intro plays once, full screen on the primary monitor,
// from the start, with sound.
#pragma once

#include "platform/gpu.h"
#include "platform/window.h"

#include <optional>
#include <string>

namespace app {

enum class IntroCommand {
    Play,
    Help,
    Version,
};

struct IntroOptions {
    IntroCommand command = IntroCommand::Play;
    window::WindowPlacement placement; // --window WxH, --fullscreen, --display N
    window::ScreenSize resolution;     // --resolution WxH: the full screen's picture size (0: the monitor's)
    double from = 0.0;                 // --from S: music and show start at S seconds
    bool loop = false;                 // --loop: at the end, start again at `from`
    bool noAudio = false;              // --no-audio: silent, on the wall clock
    int statsEvery = 0;                // --stats N: every N frames, frames rendered and resident memory
    bool vsync = true;                 // --vsync on|off: frames in step with the display's refresh
    bool edit = false;                 // --edit: the director mode, in a window
    std::string source;                // --source DIR: the checkout the director mode watches
    std::optional<gpu::Renderer> renderer;               // --gpu d3d11|vulkan (unset: the platform's choice)
    gpu::PresentModel present = gpu::PresentModel::Flip; // --present flip|composition (Windows)
};

// False with one line naming the option and what it takes.
bool parseIntroOptions(int argc, const char* const* argv, IntroOptions* options, std::string* error);

extern const char* const kIntroUsage;

} // namespace app
