// mirelandt: the intro. No arguments; ends at 67 s of music, on Escape or when the window is closed.
#include "display.h"
#include "main_loop.h"
#include "music/embedded_module.h"
#include "platform/wave_out.h"
#include "platform/window.h"
#include "scene.h"
#include "show_setup.h"

#include <string>

namespace {

class IntroPlatform final : public LoopPlatform {
  public:
    IntroPlatform(Display& display, Show& show) : display_(display), show_(show) {}
    bool pumpMessages(bool* escapePressed) override { return window::pumpMessages(escapePressed); }
    bool escapeDown() override { return window::escapeDown(); }
    void renderScene() override { show_.built.scene->renderFrame(); }
    void present() override { presentDisplay(display_); }

  private:
    Display& display_;
    Show& show_;
};

int fail(const std::string& reason) {
    window::reportStartFailure(reason);
    return 1;
}

} // namespace

int main() {
    std::string error;
    window::ScreenSize screen;
    if (!window::readPrimaryScreenSize(&screen, &error)) return fail(error);
    // The display, like the scene, is reclaimed by process exit, never torn down piecewise.
    Display& display = *new Display();
    if (!setupDisplay(display, screen, &error)) return fail(error);

    Show show;
    setupShow(show, display.device.get(), display.immediateContext.get(), display.backBufferView.get(),
              screen.width, screen.height);
    AudioStream audio;
    openAudioStream(audio, wave::systemWaveOutDriver(), embeddedModuleData(), embeddedModuleSize());

    IntroPlatform platform(display, show);
    runMainLoop(platform, audio, show.state);

    closeAudioStream(audio);
    return 0;
}
