// The command line of mirelandt-capture.
#pragma once

#include "base/show_constants.h"
#include "platform/gpu.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tools {

enum class CaptureOutput {
    Video,     // --out FILE.mp4: H.264 with the music muxed in, through the ffmpeg program
    PngFolder, // --out DIR/: numbered PNGs and music.wav
    Still,     // --at S --out FILE.png
};

struct CaptureOptions {
    int width = 1280;
    int height = 720;
    int fps = 60;
    double from = 0.0;
    double to = base::kShowEndSeconds;
    double at = 0.0; // the still's time
    std::string out;
    CaptureOutput output = CaptureOutput::Video;
    bool timings = false; // --timings: print the GPU time of every pass after the run
    int jobs = 1;         // --jobs N: worker processes rendering a sequence, each on its own device
    std::optional<gpu::Renderer> renderer; // --gpu d3d11|vulkan (unset: the platform's choice)
};

// False with a one-line message when the arguments do not describe a capture.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error);

extern const char* const kCaptureUsage;

} // namespace tools
