// mirelandt: the intro. Without arguments it plays once, full screen, and ends at 67 s of music, on Escape
// or when the window is closed; the options choose a window, a monitor, a start, a loop or silence.
#include "app/director/director.h"
#include "app/display.h"
#include "app/intro_options.h"
#include "base/generated/version.h"
#include "content/music/embedded_module.h"
#include "gfx/scene.h"
#include "platform/device_choice.h"
#include "platform/process_memory.h"
#include "platform/start_dialog.h"
#include "platform/stop_signal.h"
#include "platform/wall_clock/wall_clock_wave_out.h"
#include "platform/wave_out.h"
#include "platform/window.h"
#include "show/main_loop.h"
#include "show/show_setup.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

using namespace Orvo::Gfx;
using namespace base;
using namespace music;
using namespace platform;
using namespace show;

namespace app {

namespace {

class IntroPlatform final : public LoopPlatform {
  public:
    IntroPlatform(Display& display, Show& show, int statsEvery)
        : display_(display), show_(show), statsEvery_(statsEvery) {}
    bool pumpMessages(bool* escapePressed) override { return window::pumpMessages(escapePressed); }
    bool escapeDown() override { return window::escapeDown(); }
    bool hasArea() override {
        const bool area = displayHasArea(display_);
        if (area != hadArea_)
            std::fprintf(stderr, area ? "mirelandt: the window has area again: the picture resumes\n"
                                      : "mirelandt: the window has no area: the picture waits, the music "
                                        "plays on\n");
        hadArea_ = area;
        return area;
    }
    void renderFrame(float time) override { renderShowFrame(show_, time); }
    bool present() override {
        if (!presentDisplay(display_, &error)) return false;
        if (statsEvery_ > 0 && ++presented_ % uint64_t(statsEvery_) == 0)
            std::fprintf(stderr, "mirelandt: %llu frames, resident %.1f MiB\n",
                         static_cast<unsigned long long>(presented_),
                         double(platform::residentBytes()) / (1024.0 * 1024.0));
        return true;
    }

    std::string error; // why the last present failed

  private:
    Display& display_;
    Show& show_;
    int statsEvery_;
    uint64_t presented_ = 0;
    bool hadArea_ = true;
};

int fail(const std::string& reason) {
    window::reportStartFailure(reason);
    return 1;
}

// Reads the command line into *options. Returns the exit code when the program ends here (an option error,
// --help, --version), nothing when the intro is to play.
std::optional<int> answerWithoutPlaying(int argc, char** argv, IntroOptions* options) {
    std::string error;
    if (!parseIntroOptions(argc, argv, options, &error)) {
        window::attachParentConsole();
        std::fprintf(stderr, "mirelandt: %s\n", error.c_str());
        return 2;
    }
    if (options->command == IntroCommand::Play) return std::nullopt;
    window::attachParentConsole();
    if (options->command == IntroCommand::Help)
        std::fputs(kIntroUsage, stdout);
    else
        std::printf("mirelandt %s (%s)\n", MIRELANDT_VERSION, MIRELANDT_COMMIT);
    return 0;
}

#ifdef _WIN32
// The renderer the dialog shows selected: the one asked for by option or MIRELANDT_GPU, else Direct3D 11,
// the default. A MIRELANDT_GPU naming none is reported when the device is made.
gpu::Renderer preselectedRenderer(const IntroOptions& options) {
    gpu::DeviceOptions device;
    device.renderer = options.renderer;
    std::optional<gpu::Renderer> asked;
    std::string ignored;
    gpu::AskedRenderer(device, &asked, &ignored);
    return asked.value_or(gpu::Renderer::Direct3D11);
}

// Started without options (a double click), the viewer chooses first; the defaults start as ever. Returns
// the exit code when the program ends here (the viewer quits, or --edit, which runs on Linux only).
std::optional<int> chooseAtStart(int argc, IntroOptions* options) {
    std::string error;
    if (argc == 1 && window::dialogsWanted()) {
        const gpu::Renderer preselected = preselectedRenderer(*options);
        window::StartChoice choice{options->placement, options->resolution, preselected, options->vsync,
                                   options->loop};
        switch (window::runStartDialog(&choice, &error)) {
        case window::DialogAnswer::Quit:
            return 0;
        case window::DialogAnswer::Start:
            options->placement = choice.placement;
            options->resolution = choice.resolution;
            // Another renderer chosen is asked for, and never swapped; the one left selected keeps the
            // default's fallback to Vulkan.
            if (choice.renderer != preselected) options->renderer = choice.renderer;
            options->vsync = choice.vsync;
            options->loop = choice.loop;
            break;
        case window::DialogAnswer::Failed:
            window::attachParentConsole();
            std::fprintf(stderr, "mirelandt: %s; starting with the defaults\n", error.c_str());
            break;
        }
    }
    if (options->edit) {
        window::attachParentConsole();
        std::fprintf(stderr, "mirelandt: the director mode (--edit) runs on Linux\n");
        return 2;
    }
    return std::nullopt;
}
#endif

// Opens the window or the full screen the options ask for and the display in it; *picture is the size the
// show renders at. Null, with *error, when either cannot be opened.
Display* openDisplay(const IntroOptions& options, window::ScreenSize* picture, std::string* error) {
    window::WindowPlacement placement = options.placement;
    // The director works in a window beside the author's editor.
    if (options.edit && !placement.windowed) placement = {true, {1280, 720}, 0};
    window::ScreenSize screen;
    if (!window::readDisplaySize(placement.display, &screen, error)) return nullptr;
    if (!placement.windowed) placement.size = screen;
    // A full screen at another resolution renders at it and is scaled to the monitor, whose mode stays.
    *picture = !placement.windowed && options.resolution.width > 0 ? options.resolution : placement.size;
    // The display, like the scene, is reclaimed by process exit, never torn down piecewise.
    Display& display = *new Display();
    gpu::DeviceOptions device;
    device.renderer = options.renderer;
    device.present = options.present;
    if (!setupDisplay(display, placement, *picture, options.vsync, device, error)) return nullptr;
    return &display;
}

// Plays the show to the music, lap after lap when the options loop it, and returns the exit code.
int playShow(Display& display, Show& show, const IntroOptions& options) {
    IntroPlatform platform(display, show, options.statsEvery);
    wave::WaveOutDriver& driver =
        options.noAudio ? wave::wallClockWaveOutDriver() : wave::systemWaveOutDriver();
    const auto startFrame = uint32_t(std::llround(options.from * kAudioRate));
    for (bool first = true;; first = false) {
        AudioStream audio;
        openAudioStream(audio, driver, embeddedModuleData(), embeddedModuleSize(), startFrame);
        if (first && !audio.device)
            std::fprintf(stderr,
                         "mirelandt: no audio device: the picture waits at %.1f s, as the music is its "
                         "clock; --no-audio plays the show silently\n",
                         options.from);
        // Each lap starts as the first did: the frame before it is at the start time.
        show.state.clock.prevTime = 0.0f;
        const LoopEnd end = runMainLoop(platform, audio);
        const float stoppedAt = audioTimeSeconds(audio);
        closeAudioStream(audio);
        if (end == LoopEnd::Stopped) {
            char at[32];
            std::snprintf(at, sizeof at, " at %.1f s", double(stoppedAt));
            return reportStop("mirelandt", at);
        }
        if (end == LoopEnd::PresentFailed) {
            std::fprintf(stderr, "mirelandt: %s\n", platform.error.c_str());
            return 1;
        }
        if (end == LoopEnd::Quit || !options.loop) return 0;
    }
}

} // namespace

} // namespace app

using namespace app;

int main(int argc, char** argv) {
    IntroOptions options;
    if (const std::optional<int> exitCode = answerWithoutPlaying(argc, argv, &options)) return *exitCode;
    std::string error;
#ifdef _WIN32
    if (const std::optional<int> exitCode = chooseAtStart(argc, &options)) return *exitCode;
#else
    const std::string source = options.source.empty() ? MIRELANDT_SOURCE_DIR : options.source;
    // A folder that cannot be watched is known before any window opens.
    if (options.edit && !checkDirectorSource(source, &error)) {
        std::fprintf(stderr, "mirelandt: %s\n", error.c_str());
        return 2;
    }
#endif
    // Installed before the window system starts, which then leaves both signals to us: a stop ends the
    // show with its own line and exit code, as it ends the tools.
    catchStopSignals();
    window::ScreenSize picture;
    Display* display = openDisplay(options, &picture, &error);
    if (!display) return fail(error);

    Show show;
    setupShow(show, display->device.get(), display->immediateContext.get(), display->backBufferView.get(),
              picture.width, picture.height);
#ifndef _WIN32
    if (options.edit) {
        const bool ran = runDirector(*display, show, options, source);
        return stopSignal() ? reportStop("mirelandt", "") : ran ? 0 : 1;
    }
#endif
    return playShow(*display, show, options);
}
