#include "show/main_loop.h"

#include "base/show_constants.h"
#include "platform/stop_signal.h"

#include <chrono>
#include <thread>

using namespace base;
using namespace music;
using namespace platform;

namespace show {

LoopEnd runMainLoop(LoopPlatform& platform, AudioStream& audio) {
    bool quit = false;
    for (;;) {
        if (stopSignal()) return LoopEnd::Stopped;
        bool escapePressed = false;
        if (platform.pumpMessages(&escapePressed)) quit = true;
        if (!quit && (escapePressed || platform.escapeDown())) quit = true;
        startPlayback(audio);
        const float time = audioTimeSeconds(audio);
        if (time >= kShowEndSeconds) return quit ? LoopEnd::Quit : LoopEnd::ShowEnded;
        if (!platform.hasArea()) {
            if (quit) return LoopEnd::Quit;
            // Nothing to draw into: wait a little rather than spin on the messages.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        platform.renderFrame(time);
        if (!platform.present()) return LoopEnd::PresentFailed;
        if (quit) return LoopEnd::Quit;
    }
}

} // namespace show
